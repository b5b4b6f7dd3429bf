// A deliberately naive import and statistics, written step for step with plain string operations and
// no engine code, for the differential test to hold the engine against.
#pragma once

#include "engine/tally_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brisquel::naive {

struct State {
    std::int64_t alli = 0;
    std::string alltxt;
    std::int64_t alltxti = 0;
    std::string allouttxt;
};

// Cuts at every separator, empty pieces included; the empty text gives no pieces at all.
std::vector<std::string> split(const std::string& text, const std::string& separator);
// Substring test; the empty text contains nothing, not even the empty text.
bool contains(const std::string& text, const std::string& part);

bool isImportable(const std::string& text);
void reset(State& state, TallyView& view);
void importText(State& state, const std::string& text, TallyView& view);
void runStatistics(State& state, TallyView& view);

} // namespace brisquel::naive
