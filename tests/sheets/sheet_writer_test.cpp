// SheetWriter: cells to the text a whole-sheet copy gives.
#include "sheets/sheet_writer.h"
#include "text_sink.h"

#include "text_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace brisquel::sheets {
namespace {

using Cells = std::vector<std::tuple<std::int64_t, std::int32_t, std::string>>;

TextSink written(const Cells& cells, std::int32_t columns) {
    TextSink sink;
    writeSheet(sink, {7, 0}, columns, [&](SheetWriter& writer) {
        for (const auto& [row, column, text] : cells)
            writer.cell(row, column, text);
    });
    return sink;
}

TEST(SheetWriter, RowsArePaddedToTheLastColumnHoldingAValue) {
    struct Case {
        const char* name;
        Cells cells;
        std::string text;
    };
    const Case cases[] = {
        {"one cell", {{1, 1, "a"}}, "a\r\n"},
        {"short rows padded", {{1, 1, "a"}, {1, 3, "c"}, {2, 2, "b"}}, "a\t\tc\r\n\tb\t\r\n"},
        {"rows without values between kept", {{1, 2, "x"}, {4, 1, "y"}}, "\tx\r\n\t\r\n\t\r\ny\t\r\n"},
        {"empty texts hold no value", {{1, 1, "a"}, {1, 4, ""}, {3, 1, ""}}, "a\r\n"},
        {"no values, no text", {{2, 2, ""}}, ""},
        {"text passed on as it stands", {{1, 1, "\"q\"\tx\ny"}}, "\"q\"\tx\ny\r\n"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        for (std::int32_t columns : {0, 1, 2, 4, 16384}) {
            const TextSink sink = written(entry.cells, columns);
            ASSERT_EQ(1u, sink.sheets.size());
            EXPECT_EQ(entry.text, sink.sheets[0]) << columns << " columns said";
            EXPECT_EQ(7, sink.expectedRows[0]);
        }
    }
}

TEST(SheetWriter, AWidthTheFileGotWrongCostsOneMorePassOnly) {
    const Cells cells = {{1, 1, "a"}, {2, 3, "c"}};
    EXPECT_EQ(0, written(cells, 3).restarts);
    EXPECT_EQ(1, written(cells, 2).restarts);
    EXPECT_EQ(1, written(cells, 5).restarts);
    EXPECT_EQ(0, written(cells, 0).restarts); // measured before anything is handed on

    // A sheet said to reach XFD whose values stand in column A only: no more than a few
    // pieces of TABs are handed on before the writer measures, where the whole width would
    // be 17 GB.
    struct CountingSink final : SheetSink {
        std::size_t bytes = 0, kept = 0;
        void beginSheet(SheetSize) override {}
        void append(std::string_view text) override { bytes += text.size(), kept += text.size(); }
        void restartSheet() override { kept = 0; }
        void endSheet() override {}
    } sink;
    writeSheet(sink, {maxRows, 0}, maxColumns, [](SheetWriter& writer) {
        writer.cell(1, 1, "a");
        writer.cell(maxRows, 1, "z");
    });
    EXPECT_LT(sink.bytes, std::size_t{64} << 20);
    EXPECT_EQ(static_cast<std::size_t>(2 * maxRows + 2), sink.kept);
}

TEST(SheetWriter, CellsOutOfOrderOrOutsideTheSheetAreADamagedFile) {
    const Cells bad[] = {
        {{2, 1, "a"}, {1, 1, "b"}},
        {{1, 2, "a"}, {1, 2, "b"}},
        {{1, 3, "a"}, {1, 2, ""}},
        {{0, 1, "a"}},
        {{1, 0, "a"}},
        {{maxRows + 1, 1, "a"}},
        {{1, maxColumns + 1, "a"}},
    };
    for (const Cells& cells : bad) {
        try {
            written(cells, 2);
            ADD_FAILURE() << "accepted";
        } catch (const ReadError& error) {
            EXPECT_EQ(Problem::Damaged, error.problem());
        }
    }
}

} // namespace
} // namespace brisquel::sheets
