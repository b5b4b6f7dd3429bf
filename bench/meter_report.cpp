// The benchmarks' generated meter report and their recording view.
#include "meter_report.h"

#include "engine/memory.h"

#include <random>

#if defined(__unix__)
#include <sys/resource.h>
#endif

namespace brisquel::bench {

void generateMeterReport(std::int64_t rows, std::string_view lineEnd,
                         const std::function<void(std::string_view)>& appendRow) {
    static constexpr std::array<std::string_view, 6> areas = {"镇府公用台变", "东街台变", "西村二号台变",
                                                              "工业园专变",   "南山台变", "河口公用变"};
    static constexpr std::array<std::string_view, 9> types = {
        "三相多功能电能表(费控)", "三相载波电子式电能表", "普通三相电子式电能表",
        "三相智能电能表（费控）", "三相多功能电能表",     "单相电子式电能表",
        "单相智能电能表",         "三相四线电能表",       "单相载波电能表"};
    std::string row = "序号\t供电所\t台区\t台区编号\t户号\t户名\t用电地址\t设备类型\t表号\t资产编号\t"
                      "倍率\t电压等级\t接线方式\t安装日期\t抄表段\t线路\t状态\t电话\t采集方式\t备注";
    row += lineEnd;
    appendRow(row);
    std::mt19937_64 random(20261206);
    for (std::int64_t i = 1; i < rows; ++i) {
        const std::uint64_t r = random();
        const std::string number = std::to_string(i);
        row.clear();
        row += number;
        row += "\t城关供电所\t";
        row += r % 10 < 3 ? areas[0] : areas[1 + (r >> 8) % 5];
        row += "\t0";
        row += std::to_string(1000 + (r >> 24) % 9000);
        row += "\t33010";
        row += std::to_string(10000000 + i);
        row += "\t用户";
        row += number;
        row += "\t建设路";
        row += std::to_string((r >> 40) % 500);
        row += "号\t";
        row += types[(r >> 16) % types.size()];
        row += "\t3301000000";
        row += std::to_string(100000 + i);
        row += "\tZC";
        row += number;
        row += "\t1\t0.4kV\t三相四线\t2023-05-";
        row += std::to_string(1 + (r >> 48) % 28);
        row += '\t';
        row += std::to_string(100 + (r >> 52) % 50);
        row += "\t城关线\t运行\t88001234\t载波\t";
        row += lineEnd;
        appendRow(row);
    }
}

std::string meterReport(std::int64_t rows) {
    std::string text;
    reserveLarge(text, static_cast<std::size_t>(rows) * 215 + 256);
    generateMeterReport(rows, "\r\n", [&](std::string_view row) { text += row; });
    return text;
}

std::string LatestView::fieldText(FieldId field) {
    static constexpr std::array<std::string_view, 8> defaults = {"镇府公用台变",
                                                                 "三相多功能电能表(费控)",
                                                                 "台区",
                                                                 "设备类型",
                                                                 "三相载波电子式电能表",
                                                                 "普通三相电子式电能表",
                                                                 "三相智能电能表（费控）",
                                                                 "三相多功能电能表"};
    return std::string(defaults[static_cast<std::size_t>(field)]);
}

void LatestView::showText(LabelId label, std::string_view text) {
    m_labels[static_cast<std::size_t>(label)] = text;
}

void LatestView::progress(std::int64_t index, std::int64_t lastIndex) {
    m_index = index;
    m_lastIndex = lastIndex;
}

double peakMegabytes() {
#if defined(__unix__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
#else
    return 0.0;
#endif
}

} // namespace brisquel::bench
