// Tests of the two-condition statistics: counts, labels, progress and the export list.
#include "engine/tally.h"

#include "engine/import.h"
#include "engine/state.h"
#include "recording_view.h"

#include <gtest/gtest.h>

namespace brisquel {
namespace {

using test::clipboard;
using test::RecordingView;
using Texts = std::vector<std::string>;

const std::string header = "序号\t台区\t设备类型";
const std::string row1 = "1\t镇府公用台变\t三相多功能电能表";
const std::string row2 = "2\t镇府公用台变\t三相载波电子式电能表";
const std::string row3 = "3\t其他台变\t三相多功能电能表";
const std::string row4 = "4\t镇府公用台变\t单相电能表";
const std::string row5 = "5\t镇府公用台变\t三相多功能电能表";

const Texts runStartLog = {"Label7=0",  "Label8=0",  "Label9=0", "Label10=0",
                           "Label11=0", "Label12=0", "Label3=0"};

class Statistics : public ::testing::Test {
protected:
    void addRows(std::initializer_list<std::string_view> rows) {
        for (std::string_view row : rows)
            state.appendRow(row);
    }
    // K0..K5 as Label7..Label12 show them.
    Texts counts() const {
        Texts texts;
        for (LabelId label : {LabelId::Label7, LabelId::Label8, LabelId::Label9, LabelId::Label10,
                              LabelId::Label11, LabelId::Label12})
            texts.push_back(view.label(label));
        return texts;
    }

    TallyState state;
    RecordingView view;
};

TEST_F(Statistics, WorkedExample) {
    importText(state, clipboard({header, row1, row2, row3, row4}), view);
    runStatistics(state, view);
    EXPECT_EQ((Texts{"3", "0", "1", "0", "0", "1"}), counts());
    EXPECT_EQ("2", view.label(LabelId::Label3));
    EXPECT_EQ(2, state.alli());
    EXPECT_EQ(
        "序号\t台区\t设备类型\r\n1\t镇府公用台变\t三相多功能电能表\r\n2\t镇府公用台变\t三相载波电子式电能表",
        state.allouttxt());
}

TEST_F(Statistics, RowImportedLaterRaisesCounts) {
    importText(state, clipboard({header, row1, row2, row3, row4}), view);
    runStatistics(state, view);
    const std::string before = state.allouttxt();
    importText(state, clipboard({header, row5}), view);
    runStatistics(state, view);
    EXPECT_EQ((Texts{"4", "0", "1", "0", "0", "2"}), counts());
    EXPECT_EQ("3", view.label(LabelId::Label3));
    EXPECT_EQ(3, state.alli());
    EXPECT_EQ(before + "\r\n" + row5, state.allouttxt());
}

TEST_F(Statistics, SecondRunRepeatsTheFirst) {
    addRows({header, row1, row2, row3, row4});
    runStatistics(state, view);
    const Texts firstLog = view.log();
    const std::string firstList = state.allouttxt();
    view.clearLog();
    runStatistics(state, view);
    EXPECT_EQ(firstLog, view.log());
    EXPECT_EQ(firstList, state.allouttxt());
    EXPECT_EQ(2, state.alli());
}

TEST_F(Statistics, LabelsFollowEachMatch) {
    addRows({header, row1, row2});
    runStatistics(state, view);
    Texts expected = runStartLog;
    expected.insert(expected.end(), {"0/3", "1/3", "2/3", "Label7=1", "Label3=1", "Label12=1", "3/3",
                                     "Label7=2", "Label3=2", "Label9=1"});
    EXPECT_EQ(expected, view.log());
}

TEST_F(Statistics, EmptyReportCountsNothing) {
    runStatistics(state, view);
    Texts expected = runStartLog;
    expected.push_back("0/0");
    EXPECT_EQ(expected, view.log());
    EXPECT_EQ(0, state.alli());
    EXPECT_EQ("", state.allouttxt());
}

TEST_F(Statistics, ClearedAlternativeIsNotTested) {
    view.setField(FieldId::Text5, "");
    addRows({header, row1, row2, row3, row4});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"3", "0", "0", "0", "0", "1"}), counts());
    EXPECT_EQ(1, state.alli());
}

TEST_F(Statistics, ClearedFirstAlternativeMatchesEmptyCells) {
    view.setField(FieldId::Text2, "");
    addRows({header, "1\t镇府公用台变\t", "2\t镇府公用台变", "3\t其他台变\t", row1});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"3", "1", "0", "0", "0", "1"}), counts());
    EXPECT_EQ(header + "\r\n1\t镇府公用台变\t\r\n" + row1, state.allouttxt());
}

TEST_F(Statistics, EqualAlternativesCountTwice) {
    view.setField(FieldId::Text6, "三相多功能电能表");
    addRows({header, row1, row2});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"2", "0", "1", "1", "0", "1"}), counts());
    EXPECT_EQ("3", view.label(LabelId::Label3));
    EXPECT_EQ(header + "\r\n" + row1 + "\r\n" + row1 + "\r\n" + row2, state.allouttxt());
}

TEST_F(Statistics, LongerCellHoldingHeaderMakesHeaderRow) {
    // Counted it would be a match; as a header row it also has no cell equal to 台区, so the
    // condition-1 column stays where the real header put it.
    addRows({header, "所属台区\t镇府公用台变\t三相多功能电能表", row1});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"1", "0", "0", "0", "0", "1"}), counts());
    EXPECT_EQ(header + "\r\n" + row1, state.allouttxt());
}

TEST_F(Statistics, ColumnsMoveWithLaterHeaderRows) {
    addRows({"台区\t设备类型", "镇府公用台变\t三相多功能电能表",       // K5
             "设备类型\tx\t台区", "三相多功能电能表\tq\t镇府公用台变", // both columns move: K5
             "y\t台区", "三相载波电子式电能表\t镇府公用台变"});        // only column 1 moves: K2
    runStatistics(state, view);
    EXPECT_EQ((Texts{"3", "0", "1", "0", "0", "2"}), counts());
    EXPECT_EQ("台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n三相多功能电能表\tq\t镇府公用台变\r\n"
              "三相载波电子式电能表\t镇府公用台变",
              state.allouttxt());
}

TEST_F(Statistics, DataRowsBeforeHeaderRowAreNotCounted) {
    addRows({row1, header, row1});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"1", "0", "0", "0", "0", "1"}), counts());
    EXPECT_EQ(header + "\r\n" + row1, state.allouttxt());
}

TEST_F(Statistics, EmptyValuesNeverMatchMissingCells) {
    view.setField(FieldId::Text1, "");
    view.setField(FieldId::Text2, "");
    addRows({"\t\t", header, "1", "1\t", "1\t\t"});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"2", "1", "0", "0", "0", "0"}), counts());
    EXPECT_EQ(header + "\r\n1\t\t", state.allouttxt());
}

TEST_F(Statistics, UnknownConditionTwoHeaderCountsConditionOneOnly) {
    view.setField(FieldId::Text4, "型号");
    view.setField(FieldId::Text2, "");
    addRows({header, row1, "7\t镇府公用台变\t"});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"2", "0", "0", "0", "0", "0"}), counts());
    EXPECT_EQ(0, state.alli());
    EXPECT_EQ(header, state.allouttxt());
}

TEST_F(Statistics, NoHeaderRowLeavesListEmpty) {
    view.setField(FieldId::Text3, "局号");
    addRows({header, row1, row2});
    runStatistics(state, view);
    EXPECT_EQ((Texts{"0", "0", "0", "0", "0", "0"}), counts());
    EXPECT_EQ("", state.allouttxt());
}

TEST_F(Statistics, HeaderRowIsNotAddedWhenListAlreadyHoldsIt) {
    // With a header text ending in CR, two matches in a row hold the header row's text across
    // the line break between them, so the list is left without a header in front.
    view.setField(FieldId::Text3, "a\r");
    view.setField(FieldId::Text6, "三相多功能电能表");
    const std::string match = "三相多功能电能表\t镇府公用台变\t设备类型\ta";
    addRows({"设备类型\ta\r", match});
    runStatistics(state, view);
    EXPECT_EQ(2, state.alli());
    EXPECT_EQ("\r\n" + match + "\r\n" + match, state.allouttxt());
}

TEST_F(Statistics, CountsBeyondSixteenBits) {
    // 40000 matching rows, each counted for two equal alternatives.
    constexpr int rows = 40000;
    std::string sheet = header + "\r\n";
    for (int i = 0; i < rows; ++i)
        sheet += row1 + "\r\n";
    view.setField(FieldId::Text6, "三相多功能电能表");
    importText(state, sheet, view);
    runStatistics(state, view);
    EXPECT_EQ(rows + 1, state.alltxti());
    EXPECT_EQ("40001", view.label(LabelId::Label5));
    EXPECT_EQ((Texts{"40000", "0", "0", "40000", "0", "40000"}), counts());
    EXPECT_EQ("80000", view.label(LabelId::Label3));
    EXPECT_EQ(2 * rows, state.alli());
    EXPECT_EQ(header.size() + 2 * rows * (2 + row1.size()), state.allouttxt().size());
    EXPECT_EQ("40001/40001", view.progressLog().back());
}

} // namespace
} // namespace brisquel
