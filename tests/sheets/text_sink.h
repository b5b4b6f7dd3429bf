// A sink for the readers' tests: the text of every sheet, as the window would import it.
#pragma once

#include "sheets/sheet_sink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// Keeps the text of every sheet, a restart dropping what its sheet had so far.
struct TextSink final : SheetSink {
    std::vector<std::string> sheets;
    std::vector<std::int64_t> expectedRows;
    int restarts = 0;
    int pieces = 0;
    void beginSheet(SheetSize expected) override {
        sheets.emplace_back();
        expectedRows.push_back(expected.rows);
    }
    void append(std::string_view text) override {
        sheets.back() += text;
        ++pieces;
    }
    void restartSheet() override {
        sheets.back().clear();
        ++restarts;
    }
    void endSheet() override {}
};

} // namespace brisquel::sheets
