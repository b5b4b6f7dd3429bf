// Tests of the tally state: reset, and the "alltxt contains" search that the import relies on.
#include "engine/state.h"

#include "engine/import.h"
#include "engine/tally.h"
#include "recording_view.h"

#include <gtest/gtest.h>

namespace brisquel {
namespace {

using test::RecordingView;

TEST(TallyState, ResetKeepsNothing) {
    TallyState state;
    RecordingView view;
    const std::string sheet = test::clipboard({"台区\t设备类型", "镇府公用台变\t三相多功能电能表"});
    importText(state, sheet, view);
    runStatistics(state, view);
    ASSERT_EQ(1, state.alli());
    view.clearLog();

    state.reset(view);
    EXPECT_EQ((std::vector<std::string>{"Label5=0", "Label3=0", "Label7=0", "Label8=0", "Label9=0",
                                        "Label10=0", "Label11=0", "Label12=0"}),
              view.log());
    EXPECT_EQ(0, state.alli());
    EXPECT_EQ("", state.allouttxt());

    // The header search remembers what it found; the reset forgets it with the rows.
    importText(state, sheet, view);
    EXPECT_EQ(test::stored({"台区\t设备类型", "镇府公用台变\t三相多功能电能表"}), state.alltxt());
    EXPECT_EQ(2, state.alltxti());
}

TEST(TallyState, AlltxtContainsFollowsAppendedRows) {
    TallyState state;
    EXPECT_FALSE(state.alltxtContains(""));
    state.appendRow("x");
    EXPECT_TRUE(state.alltxtContains(""));
    EXPECT_FALSE(state.alltxtContains("x\r"));
    state.appendRow("y");
    // Found only once the next row's line break follows the x.
    EXPECT_TRUE(state.alltxtContains("x\r"));
    EXPECT_TRUE(state.alltxtContains("x\r\ny"));
    EXPECT_FALSE(state.alltxtContains("zz"));
    state.appendRow("z");
    state.appendRow("z");
    EXPECT_FALSE(state.alltxtContains("zz"));
    EXPECT_TRUE(state.alltxtContains("z\r\nz"));
}

} // namespace
} // namespace brisquel
