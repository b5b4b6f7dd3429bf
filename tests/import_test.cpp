// Tests of the report import: the accept test, worked examples of how clipboard text becomes
// rows, and what random small reports cannot reach: pairs counted across slice ends, a pass that
// runs out of memory, and megabytes of quotes.
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

using test::cells;
using test::clipboard;
using test::RecordingView;
using Texts = std::vector<std::string>;

const std::string header = cells({"台区", "设备类型"});
const std::string dataRow = cells({"镇府公用台变", "三相多功能电能表"});

// Rows as alltxt holds them, each preceded by CR LF.
std::string storedRows(const Texts& rows) {
    std::string text;
    for (const std::string& row : rows)
        text += "\r\n" + row;
    return text;
}

// Imports the slices through an ImportPass, the last one handed to finish() or appended, and
// returns the pairs counted over them.
std::int64_t importSlices(TallyState& state, const Texts& slices, TallyView& view, bool lastToFinish) {
    CrLfCounter counter;
    std::size_t size = 0;
    for (const std::string& slice : slices) {
        counter.add(slice);
        size += slice.size();
    }
    ImportPass pass(state, view, counter.pairs(), size);
    for (std::size_t i = 0; i + (lastToFinish ? 1 : 0) < slices.size(); ++i)
        pass.append(slices[i]);
    pass.finish(lastToFinish ? std::string_view(slices.back()) : std::string_view());
    return counter.pairs();
}

TEST(Import, AcceptsOnlyTextWithCrLf) {
    struct Case {
        const char* name;
        std::string_view text;
        bool expected;
    };
    const Case cases[] = {
        {"empty", "", false},         {"one line", "台区\t设备类型", false},
        {"lone CR", "a\rb", false},   {"lone LF", "a\nb", false},
        {"LF CR", "a\n\rb", false},   {"CR LF", "a\r\nb", true},
        {"only CR LF", "\r\n", true}, {"CR LF at end", "a\tb\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, isImportable(c.text));
    }
}

TEST(Import, TextsBecomeRows) {
    const std::string sheet = clipboard({header, dataRow});
    struct Case {
        const char* name;
        Texts texts; // imported one after the other
        Texts expected;
        std::string headerText = "台区"; // Text3
    };
    const Case cases[] = {
        {"a sheet", {sheet}, {header, dataRow}},
        {"a repeated header row is dropped", {sheet, sheet}, {header, dataRow, dataRow}},
        {"once a row holds the header text, in a longer cell too, every row holding it is dropped",
         {clipboard({"1\t所属台区", header, "2\t台区x", dataRow})},
         {"1\t所属台区", dataRow}},
        {"an empty header text is in every row",
         {clipboard({"", header, dataRow}), clipboard({"x"})},
         {header},
         ""},
        {"empty rows are skipped, the last row needs no line break", {"\r\na\r\n\r\n\r\nb"}, {"a", "b"}},
        {"quotes are deleted: a row of them is empty, one of TABs is not",
         {"\"a\"\tb\"c\"\r\n\"\"\r\n\t\t"},
         {"a\tbc", "\t\t"}},
        {"a quote between CR and LF ends the row", {"a\r\"\nb"}, {"a", "b"}},
        {"lone LF and CR stay in their rows", {"a\nb\tc\r\nd\re"}, {"a\nb\tc", "d\re"}},
        {"CR before a pair, LF after one", {"a\r\r\nb\r\n\nc"}, {"a\r", "b", "\nc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TallyState state;
        RecordingView view;
        view.setField(FieldId::Text3, c.headerText);
        for (const std::string& text : c.texts)
            importText(state, text, view);
        EXPECT_EQ(storedRows(c.expected), state.alltxt());
        EXPECT_EQ(static_cast<std::int64_t>(c.expected.size()), state.alltxti());
        EXPECT_EQ(std::to_string(c.expected.size()), view.label(LabelId::Label5));
    }
}

// Progress for every piece, empty ones too, from 0 to the number of pairs; the count after
// each row stored.
TEST(Import, ReportsProgressForEveryPiece) {
    TallyState state;
    RecordingView view;
    importText(state, "\r\n" + clipboard({header, dataRow}), view);
    EXPECT_EQ((Texts{"0/3", "1/3", "Label5=1", "2/3", "Label5=2", "3/3"}), view.log());
}

// A CR and its LF, or quotes between them, may fall in different slices: the counter counts
// the pair once, and the pass cuts the rows, writes the labels and reports the progress as the
// import of the whole text does.
TEST(ImportPass, PairsAcrossSlicesAreCountedAndCutAsInTheWholeText) {
    struct Case {
        const char* name;
        Texts slices;
        std::int64_t expectedPairs;
    };
    const Case cases[] = {
        {"none", {"", "a\rb\nc", "\n\r"}, 0},
        {"CR | LF", {"a\r", "\nb"}, 1},
        {"CR | empty | LF", {"a\r", "", "\n"}, 1},
        {"quotes between CR and LF", {"\r\"\"\n"}, 1},
        {"CR | quote | quote LF", {"\r", "\"", "\"\n"}, 1},
        {"CR quote | LF", {"a\r\"", "\n"}, 1},
        {"LF after a pair", {"\r\n", "\n", "\"\n"}, 1},
        {"CR | LF | LF", {"\r", "\n", "\n"}, 1},
        {"LF first", {"\n", "\r", "x\n"}, 0},
        {"CR, then a slice of quotes, then CR LF", {"\r", "\"\"", "\r\n"}, 1},
        {"a row across slices", {"a\r\nb", "c"}, 1},
    };
    for (const Case& c : cases) {
        for (bool lastToFinish : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (lastToFinish ? ", last slice to finish" : ""));
            std::string text;
            for (const std::string& slice : c.slices)
                text += slice;
            TallyState whole;
            RecordingView wholeView;
            importText(whole, text, wholeView);
            TallyState sliced;
            RecordingView slicedView;
            EXPECT_EQ(c.expectedPairs, importSlices(sliced, c.slices, slicedView, lastToFinish));
            EXPECT_EQ(whole.alltxt(), sliced.alltxt());
            EXPECT_EQ(whole.alltxti(), sliced.alltxti());
            EXPECT_EQ(wholeView.log(), slicedView.log());
        }
    }
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
    EXPECT_EQ(storedRows({"甲"}), state.alltxt());
    EXPECT_EQ(1, state.alltxti());
    EXPECT_EQ("1", view.label(LabelId::Label5));

    importText(state, clipboard({"台区", "台区", "丁"}), view);
    EXPECT_EQ(storedRows({"甲", "台区", "丁"}), state.alltxt());
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
        importSlices(state, slices, view, true);
        EXPECT_EQ(expected, state.alltxt());
        EXPECT_EQ(rows, state.alltxti());
        EXPECT_EQ(std::to_string(rows) + "/" + std::to_string(rows), view.progressLog().back());
    }
}

} // namespace
} // namespace brisquel
