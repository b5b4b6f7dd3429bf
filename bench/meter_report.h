// What both benchmarks share: a generated meter report, a view that keeps the latest
// texts, and the process's peak memory.
#pragma once

#include "engine/tally_view.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace brisquel::bench {

// A meter report of `rows` rows as a spreadsheet copies it (a full sheet has 1,048,576):
// a header row, then one meter a row, 20 cells and about 210 bytes; 台区 in cell 2, 设备类型 in cell 7, about
// 30% of the meters in 镇府公用台变, and the five default types mixed with four others. Each row, with
// `lineEnd` after it, is handed to `appendRow`; the same `rows` give the same report.
void generateMeterReport(std::int64_t rows, std::string_view lineEnd,
                         const std::function<void(std::string_view)>& appendRow);

// The same report as one text with CR LF row ends.
std::string meterReport(std::int64_t rows);

// Receives every call, as the window does, answers with the default conditions and keeps
// only the latest texts.
class LatestView final : public TallyView {
public:
    std::string fieldText(FieldId field) override;
    void showText(LabelId label, std::string_view text) override;
    void progress(std::int64_t index, std::int64_t lastIndex) override;

    const std::string& label(LabelId id) const { return m_labels[static_cast<std::size_t>(id)]; }

private:
    std::array<std::string, 8> m_labels;
    std::int64_t m_index = 0;
    std::int64_t m_lastIndex = 0;
};

// The process's peak resident memory in MiB, or 0 where the platform does not say.
double peakMegabytes();

} // namespace brisquel::bench
