// Tests of the report import where the differential test's random small reports cannot reach: a
// pass that runs out of memory, and megabytes of quotes.
#include "engine/import.h"

#include "engine/state.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

namespace brisquel {
namespace {

using test::clipboard;
using test::RecordingView;
using test::stored;
using Texts = std::vector<std::string>;

// Imports the slices through an ImportPass, the last one handed to finish().
void importSlices(TallyState& state, const Texts& slices, TallyView& view) {
    CrLfCounter counter;
    std::size_t size = 0;
    for (const std::string& slice : slices) {
        counter.add(slice);
        size += slice.size();
    }
    ImportPass pass(state, view, counter.pairs(), size);
    for (std::size_t i = 0; i + 1 < slices.size(); ++i)
        pass.append(slices[i]);
    pass.finish(slices.back());
}

// Memory can run out half-way through a pass, where a row straddling slices grows in a buffer
// of its own: the rows the pass appended are taken back, and so is what the header search
// found in them, so the next import stores the header row that the failed one stored first.
TEST(ImportPass, RunningOutOfMemoryHalfWayTakesBackItsRows) {
    class FailingView : public RecordingView {
    public:
        void showText(LabelId label, std::string_view text) override {
            if (text == "3" && std::exchange(m_fail, false))
                throw std::bad_alloc();
            RecordingView::showText(label, text);
        }

    private:
        bool m_fail = true;
    };
    TallyState state;
    FailingView view;
    importText(state, clipboard({"甲"}), view);
    ImportPass pass(state, view, 4, 100);
    pass.append("台区\r\n台区\r\n乙");
    EXPECT_THROW(pass.finish("\r\n丙\r\n"), std::bad_alloc);
    EXPECT_EQ(stored({"甲"}), state.alltxt());
    EXPECT_EQ(1, state.alltxti());
    EXPECT_EQ("1", view.label(LabelId::Label5));

    importText(state, clipboard({"台区", "台区", "丁"}), view);
    EXPECT_EQ(stored({"甲", "台区", "丁"}), state.alltxt());
}

TEST(ImportPass, QuotesAreDeletedThroughoutALargeText) {
    // Megabytes with quotes are copied without them a piece at a time; a CR, quotes and a LF
    // fall across those pieces' ends as they may.
    std::string text;
    std::string expected;
    constexpr int rows = 200'000;
    for (int row = 0; row < rows; ++row) {
        const std::string number = std::to_string(row);
        text.append("\"").append(number).append("\r\"\"\n");
        expected.append("\r\n").append(number);
    }
    for (std::size_t sliceSize : {text.size(), std::size_t{1000}}) {
        SCOPED_TRACE(sliceSize);
        Texts slices;
        for (std::size_t at = 0; at < text.size(); at += sliceSize)
            slices.push_back(text.substr(at, sliceSize));
        TallyState state;
        RecordingView view;
        importSlices(state, slices, view);
        EXPECT_EQ(expected, state.alltxt());
        EXPECT_EQ(rows, state.alltxti());
        EXPECT_EQ(std::to_string(rows) + "/" + std::to_string(rows), view.progressLog().back());
    }
}

} // namespace
} // namespace brisquel
