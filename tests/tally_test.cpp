// Tests of the two-condition statistics: worked examples of its rules, the order of its label
// writes, and counts beyond what random small reports reach.
#include "engine/tally.h"

#include "engine/import.h"
#include "engine/state.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <utility>

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

// Rows joined by CR LF, as allouttxt holds the header row and the matches.
std::string list(const Texts& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i)
        text += (i == 0 ? "" : "\r\n") + rows[i];
    return text;
}

class Statistics : public ::testing::Test {
protected:
    // K0..K5 as Label7..Label12 show them, separated by spaces.
    std::string counts() const {
        std::string texts;
        for (LabelId label : {LabelId::Label7, LabelId::Label8, LabelId::Label9, LabelId::Label10,
                              LabelId::Label11, LabelId::Label12})
            texts += (texts.empty() ? "" : " ") + view.label(label);
        return texts;
    }

    TallyState state;
    RecordingView view;
};

TEST_F(Statistics, WorkedExample) {
    importText(state, clipboard({header, row1, row2, row3, row4}), view);
    runStatistics(state, view);
    EXPECT_EQ("3 0 1 0 0 1", counts());
    EXPECT_EQ("2", view.label(LabelId::Label3));
    EXPECT_EQ(2, state.alli());
    EXPECT_EQ(list({header, row1, row2}), state.allouttxt());

    // A sheet imported later, its header row dropped, raises the counts of the next run.
    importText(state, clipboard({header, row5}), view);
    runStatistics(state, view);
    EXPECT_EQ("4 0 1 0 0 2", counts());
    EXPECT_EQ("3", view.label(LabelId::Label3));
    EXPECT_EQ(3, state.alli());
    EXPECT_EQ(list({header, row1, row2, row5}), state.allouttxt());
}

// Every count is shown 0 first; then, after each match, K0, the sum, and the alternative's count.
TEST_F(Statistics, LabelsFollowEachMatch) {
    importText(state, clipboard({header, row1, row2}), view);
    view.clearLog();
    runStatistics(state, view);
    EXPECT_EQ(
        (Texts{"Label7=0", "Label8=0", "Label9=0", "Label10=0", "Label11=0", "Label12=0", "Label3=0", "0/3",
               "1/3", "2/3", "Label7=1", "Label3=1", "Label12=1", "3/3", "Label7=2", "Label3=2", "Label9=1"}),
        view.log());
}

TEST_F(Statistics, CountsAndListByExample) {
    const std::string empty1 = "1\t镇府公用台变\t";
    // With a header text ending in CR, two matches in a row hold the header row's text across
    // the line break between them.
    const std::string match = "三相多功能电能表\t镇府公用台变\t设备类型\ta";
    struct Case {
        const char* name;
        std::vector<std::pair<FieldId, std::string>> fields;
        Texts rows;
        std::string expectedCounts; // K0..K5
        Texts expectedList;
    };
    const Case cases[] = {
        {"a cleared first alternative matches empty cells, a cleared other one nothing",
         {{FieldId::Text2, ""}, {FieldId::Text5, ""}},
         {header, empty1, "2\t镇府公用台变", "3\t其他台变\t", row1, row2},
         "4 1 0 0 0 1",
         {header, empty1, row1}},
        {"a longer cell holding the header text makes a header row that moves no column",
         {},
         {header, "所属台区\t镇府公用台变\t三相多功能电能表", row1},
         "1 0 0 0 0 1",
         {header, row1}},
        {"rows count after a header row only; later ones move the columns, the list keeps the first",
         {},
         {"镇府公用台变\t三相多功能电能表", "台区\t设备类型", "镇府公用台变\t三相多功能电能表",
          "设备类型\tx\t台区", "三相多功能电能表\tq\t镇府公用台变", "y\t台区",
          "三相载波电子式电能表\t镇府公用台变"},
         "3 0 1 0 0 2",
         {"台区\t设备类型", "镇府公用台变\t三相多功能电能表", "三相多功能电能表\tq\t镇府公用台变",
          "三相载波电子式电能表\t镇府公用台变"}},
        {"empty values never match missing cells",
         {{FieldId::Text1, ""}, {FieldId::Text2, ""}},
         {"\t\t", header, "1", "1\t", "1\t\t"},
         "2 1 0 0 0 0",
         {header, "1\t\t"}},
        {"an unknown condition-2 header counts condition 1 only",
         {{FieldId::Text4, "型号"}, {FieldId::Text2, ""}},
         {header, row1, "7\t镇府公用台变\t"},
         "2 0 0 0 0 0",
         {header}},
        {"no header row leaves the list empty",
         {{FieldId::Text3, "局号"}},
         {header, row1},
         "0 0 0 0 0 0",
         {}},
        {"the header row is not put first when the list holds it already",
         {{FieldId::Text3, "a\r"}, {FieldId::Text6, "三相多功能电能表"}},
         {"设备类型\ta\r", match},
         "1 0 0 1 0 1",
         {"", match, match}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state = {};
        view = {};
        for (const auto& [field, text] : c.fields)
            view.setField(field, text);
        for (const std::string& row : c.rows)
            state.appendRow(row);
        runStatistics(state, view);
        EXPECT_EQ(c.expectedCounts, counts());
        EXPECT_EQ(list(c.expectedList), state.allouttxt());
    }
}

TEST_F(Statistics, CountsBeyondSixteenBits) {
    // 40000 matching rows, each counted for two equal alternatives and listed twice.
    constexpr int rows = 40000;
    std::string sheet = header + "\r\n";
    for (int i = 0; i < rows; ++i)
        sheet += row1 + "\r\n";
    view.setField(FieldId::Text6, "三相多功能电能表");
    importText(state, sheet, view);
    runStatistics(state, view);
    EXPECT_EQ(rows + 1, state.alltxti());
    EXPECT_EQ("40001", view.label(LabelId::Label5));
    EXPECT_EQ("40000 0 0 40000 0 40000", counts());
    EXPECT_EQ("80000", view.label(LabelId::Label3));
    EXPECT_EQ(2 * rows, state.alli());
    EXPECT_EQ(header.size() + 2 * rows * (2 + row1.size()), state.allouttxt().size());
    EXPECT_EQ("40001/40001", view.progressLog().back());
}

} // namespace
} // namespace brisquel
