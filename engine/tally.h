// Two-condition statistics over the imported rows.
#pragma once

namespace brisquel {

class TallyState;
class TallyView;

// Counts the rows that meet condition 1 (Text3 column equals Text1) and those that
// also meet condition 2 (Text4 column equals one of Text2, Text5..Text8), shows the
// counts, and rebuilds alli and allouttxt.
void runStatistics(TallyState& state, TallyView& view);

} // namespace brisquel
