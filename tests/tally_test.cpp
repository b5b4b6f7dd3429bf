// Tests of the two-condition statistics beyond what the differential test's random small reports
// reach: rows no import stores (later header rows, a header text ending in CR) and counts past
// sixteen bits.
#include "engine/tally.h"

#include "engine/import.h"
#include "engine/state.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <utility>

namespace brisquel {
namespace {

using test::RecordingView;
using Texts = std::vector<std::string>;

const std::string header = "序号\t台区\t设备类型";
const std::string row1 = "1\t镇府公用台变\t三相多功能电能表";

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

// Rows appended as no import appends them: the import drops every later row holding the
// header text, and a header text ending in CR is found across a line break.
TEST_F(Statistics, CountsAndListOfRowsNoImportStores) {
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
        {"rows count after a header row only; later ones move the columns, the list keeps the first",
         {},
         {"镇府公用台变\t三相多功能电能表", "台区\t设备类型", "镇府公用台变\t三相多功能电能表",
          "设备类型\tx\t台区", "三相多功能电能表\tq\t镇府公用台变", "y\t台区",
          "三相载波电子式电能表\t镇府公用台变"},
         "3 0 1 0 0 2",
         {"台区\t设备类型", "镇府公用台变\t三相多功能电能表", "三相多功能电能表\tq\t镇府公用台变",
          "三相载波电子式电能表\t镇府公用台变"}},
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
