// Tests of the report import: the accept test, how clipboard text becomes rows, repeated headers, and
// texts handed over in slices.
#include "engine/import.h"

#include "engine/state.h"
#include "engine/tally.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace brisquel {
namespace {

using test::cells;
using test::clipboard;
using test::RecordingView;
using test::stored;

const std::string header = cells({"台区", "设备类型"});
const std::string dataRow = cells({"镇府公用台变", "三相多功能电能表"});

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

TEST(Import, TextBecomesRows) {
    struct Case {
        const char* name;
        std::string text;
        std::string expectedAlltxt;
        std::int64_t expectedAlltxti;
    };
    const Case cases[] = {
        {"last row without line break", "a\r\nb", stored({"a", "b"}), 2},
        {"empty lines skipped", "\r\na\r\n\r\n\r\nb\r\n\r\n", stored({"a", "b"}), 2},
        {"only line breaks", "\r\n\r\n", "", 0},
        {"line of TABs stored", "\t\t\r\n", stored({"\t\t"}), 1},
        {"quotes removed inside cells", "\"a\"\tb\"c\"\r\n", stored({"a\tbc"}), 1},
        {"line of quotes becomes empty", "\"\"\r\na\r\n", stored({"a"}), 1},
        {"quote between CR and LF ends the row", "a\r\"\nb", stored({"a", "b"}), 2},
        {"lone LF stays in its row", "a\nb\tc\r\n", stored({"a\nb\tc"}), 1},
        {"lone CR stays in its row", "a\rb\r\n", stored({"a\rb"}), 1},
        {"CR before CR LF", "a\r\r\nb", stored({"a\r", "b"}), 2},
        {"LF after CR LF", "a\r\n\nb\r\n", stored({"a", "\nb"}), 2},
        {"cell containing header after header", clipboard({"台区", "1\t所属台区", "2\tx"}),
         stored({"台区", "2\tx"}), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TallyState state;
        RecordingView view;
        importText(state, c.text, view);
        EXPECT_EQ(c.expectedAlltxt, state.alltxt());
        EXPECT_EQ(c.expectedAlltxti, state.alltxti());
    }
}

TEST(Import, TwoRowSheetIsStored) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({header, dataRow}), view);
    EXPECT_EQ("\r\n台区\t设备类型\r\n镇府公用台变\t三相多功能电能表", state.alltxt());
    EXPECT_EQ(2, state.alltxti());
    EXPECT_EQ("2", view.label(LabelId::Label5));
}

TEST(Import, RepeatedHeaderRowIsDropped) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({header, dataRow}), view);
    importText(state, clipboard({header, dataRow}), view);
    EXPECT_EQ(stored({header, dataRow, dataRow}), state.alltxt());
    EXPECT_EQ(3, state.alltxti());
    EXPECT_EQ("3", view.label(LabelId::Label5));
}

TEST(Import, ReportsProgressForEveryElement) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({header, dataRow}), view);
    EXPECT_EQ((std::vector<std::string>{"0/2", "Label5=1", "1/2", "Label5=2", "2/2"}), view.log());
}

TEST(Import, ProgressCountsRowsAfterQuotesAreRemoved) {
    TallyState state;
    RecordingView view;
    importText(state, "a\r\"\nb", view);
    EXPECT_EQ((std::vector<std::string>{"0/1", "Label5=1", "1/1", "Label5=2"}), view.log());
}

TEST(Import, EmptyHeaderTextStoresOnlyTheFirstRow) {
    TallyState state;
    RecordingView view;
    view.setField(FieldId::Text3, "");
    importText(state, clipboard({"", header, dataRow}), view);
    importText(state, clipboard({"x"}), view);
    EXPECT_EQ(stored({header}), state.alltxt());
    EXPECT_EQ(1, state.alltxti());
}

TEST(Import, HeaderTextInEarlierDataRowDropsRealHeader) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({"1\t所属台区", header, dataRow}), view);
    EXPECT_EQ(stored({"1\t所属台区", dataRow}), state.alltxt());
    EXPECT_EQ(2, state.alltxti());
}

TEST(Import, HeaderTextIsReadAnewForEachImport) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({header, dataRow}), view);
    view.setField(FieldId::Text3, "序号");
    importText(state, clipboard({"序号\t台区", "1\t镇府公用台变"}), view);
    importText(state, clipboard({"序号\t台区", "2\t镇府公用台变"}), view);
    view.setField(FieldId::Text3, "台区");
    importText(state, clipboard({"x\t台区"}), view);
    EXPECT_EQ(stored({header, dataRow, "序号\t台区", "1\t镇府公用台变", "2\t镇府公用台变"}), state.alltxt());
    EXPECT_EQ(5, state.alltxti());
}

TEST(Import, LeavesTheLastResultAlone) {
    TallyState state;
    RecordingView view;
    importText(state, clipboard({header, dataRow}), view);
    runStatistics(state, view);
    const std::string allouttxt = state.allouttxt();
    view.clearLog();

    importText(state, clipboard({dataRow}), view);
    EXPECT_EQ(1, state.alli());
    EXPECT_EQ(allouttxt, state.allouttxt());
    EXPECT_EQ((std::vector<std::string>{"Label5=3"}), view.labelLog());
}

// The text cut before each of the given byte offsets.
std::vector<std::string> cutAt(const std::string& text, std::initializer_list<std::size_t> offsets) {
    std::vector<std::string> slices;
    std::size_t begin = 0;
    for (std::size_t at : offsets) {
        slices.push_back(text.substr(begin, at - begin));
        begin = at;
    }
    slices.push_back(text.substr(begin));
    return slices;
}

// Imports the slices through an ImportPass, the last one handed to finish() or appended.
void importSlices(TallyState& state, const std::vector<std::string>& slices, TallyView& view,
                  bool lastToFinish) {
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
}

TEST(CrLfCounter, CountsPairsOnceQuotesAreDeleted) {
    struct Case {
        const char* name;
        std::vector<std::string> slices;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"none", {"", "a\rb\nc", "\n\r"}, 0},
        {"pair in a slice", {"a\r\nb\r\n"}, 2},
        {"CR | LF", {"a\r", "\nb"}, 1},
        {"CR | empty | LF", {"a\r", "", "\n"}, 1},
        {"quotes between CR and LF", {"\r\"\"\n"}, 1},
        {"CR | quote | quote LF", {"\r", "\"", "\"\n"}, 1},
        {"CR quote | LF", {"a\r\"", "\n"}, 1},
        {"LF after a pair", {"\r\n", "\n", "\"\n"}, 1},
        {"CR | LF | LF", {"\r", "\n", "\n"}, 1},
        {"LF first", {"\n", "\r", "x\n"}, 0},
        {"CR, then a slice of quotes, then CR LF", {"\r", "\"\"", "\r\n"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CrLfCounter counter;
        for (const std::string& slice : c.slices)
            counter.add(slice);
        EXPECT_EQ(c.expected, counter.pairs());
    }
}

TEST(ImportPass, RowsAcrossSlicesAreCutAsInTheWholeText) {
    const std::string sheet = clipboard({header, dataRow});
    const std::string repeated = clipboard({"台区\tb", "1", "台区\tb", "2"});
    struct Case {
        const char* name;
        std::vector<std::string> slices;
        std::string expectedAlltxt;
    };
    const Case cases[] = {
        {"CR | LF", {"a\r", "\nb\r\n"}, stored({"a", "b"})},
        {"CR quote | quote | LF", {"a\r\"", "\"", "\nb"}, stored({"a", "b"})},
        {"CR | quote LF", {"a\r", "\"\nb"}, stored({"a", "b"})},
        {"CR | CR LF", {"a\r", "\r\nb"}, stored({"a\r", "b"})},
        {"CR LF | LF", {"a\r\n", "\nb"}, stored({"a", "\nb"})},
        {"quoted CR LF inside a cell", {"\"a\r", "\nb\"\tc\r\n"}, stored({"a", "b\tc"})},
        {"inside a character", cutAt(sheet, {1, 2, sheet.size() - 4}), stored({header, dataRow})},
        {"inside the header text", cutAt(repeated, {13, 14, 16}), stored({"台区\tb", "1", "2"})},
        {"empty slices", {"", "a", "", "\r", "", "\n", "", "b", ""}, stored({"a", "b"})},
        {"no line break at the end", {"a\r\nb", "c"}, stored({"a", "bc"})},
        {"one empty slice", {""}, ""},
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
            importSlices(sliced, c.slices, slicedView, lastToFinish);
            EXPECT_EQ(c.expectedAlltxt, sliced.alltxt());
            EXPECT_EQ(whole.alltxt(), sliced.alltxt());
            EXPECT_EQ(whole.alltxti(), sliced.alltxti());
            EXPECT_EQ(wholeView.log(), slicedView.log());
        }
    }
}

// Memory can run out half-way through a pass, where a row straddling slices grows in a
// buffer of its own: the rows the pass appended are taken back.
TEST(ImportPass, RunningOutOfMemoryHalfWayTakesBackItsRows) {
    class FailingView : public RecordingView {
    public:
        void showText(LabelId label, std::string_view text) override {
            if (text == "4")
                throw std::bad_alloc();
            RecordingView::showText(label, text);
        }
    };
    TallyState state;
    FailingView view;
    importText(state, clipboard({"台区", "甲"}), view);
    ImportPass pass(state, view, 3, 100);
    pass.append("乙\r\n丙");
    EXPECT_THROW(pass.finish("\r\n丁\r\n"), std::bad_alloc);
    EXPECT_EQ(stored({"台区", "甲"}), state.alltxt());
    EXPECT_EQ(2, state.alltxti());
    EXPECT_EQ("2", view.label(LabelId::Label5));
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
        std::vector<std::string> slices;
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
