// Tests of the tally state: the "alltxt contains" search that the import relies on.
#include "engine/state.h"

#include <gtest/gtest.h>

namespace brisquel {
namespace {

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
