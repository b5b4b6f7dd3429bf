// number_format_bench: shows N values through the formats a meter report's columns carry
// (General whole numbers and decimals, two decimals, a date and time) and prints each one's
// time for all N cells.
//
//   number_format_bench [N]          N values a format (default 1048576, a full sheet's rows)
#include "sheets/number_format.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

using brisquel::sheets::DateSystem;
using brisquel::sheets::NumberFormat;

// Formats every value into one buffer as a reader would, and prints the processor time (not
// the wall clock: the figure holds on a busy machine) and the text's size, so that the work
// cannot be skipped.
void run(const char* name, const char* code, const std::vector<double>& values) {
    const NumberFormat format(code);
    std::string out;
    out.reserve(values.size() * 20);
    const std::clock_t start = std::clock();
    for (const double value : values) {
        format.format(value, DateSystem::From1900, out);
        out += '\t';
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("%-16s %-16s %8.3f s %7.1f ns/cell %10zu bytes\n", name, code, seconds,
                seconds * 1e9 / static_cast<double>(values.size()), out.size());
}

} // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 1048576;
    if (count <= 0) {
        std::fprintf(stderr, "usage: number_format_bench [N]\n");
        return 2;
    }
    std::mt19937_64 random(1);
    std::uniform_int_distribution<long> meter(0, 99999999);
    std::uniform_int_distribution<long> cents(0, 9999999);
    std::uniform_real_distribution<double> moment(40000, 47000);
    std::vector<double> wholes, decimals, dates;
    for (long i = 0; i < count; ++i) {
        wholes.push_back(static_cast<double>(meter(random)));
        decimals.push_back(static_cast<double>(cents(random)) / 100);
        dates.push_back(moment(random));
    }
    run("whole numbers", "General", wholes);
    run("decimals", "General", decimals);
    run("two decimals", "0.00", decimals);
    run("thousands", "#,##0.00", decimals);
    run("date and time", "yyyy/m/d h:mm", dates);
    run("chinese date", "yyyy\"年\"m\"月\"d\"日\"", dates);
    return 0;
}
