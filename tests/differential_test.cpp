// Holds the engine's import and statistics against the naive ones on thousands of small random
// reports, comparing the state, every label write and every progress report after each step. A
// second engine state imports each report in slices of random sizes, as the window does.
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "naive_tally.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string_view>
#include <vector>

namespace brisquel {
namespace {

using test::RecordingView;

// What reports are built from. Sheets put the header texts, the value and the alternatives in their
// columns and fill the rest from the filler: empty cells, quotes, lone CR and LF, and a header text
// inside a longer cell. Noise is dropped in anywhere; some reports are nothing but noise.
// clang-format off
const std::vector<std::string> filler = {"", "", "a", "\"", "a\"b", "a\nb", "a\r", "\r", "\n", "所属台区"};
const std::vector<std::string> alternativeTexts = {
    "三相多功能电能表(费控)", "三相载波电子式电能表", "普通三相电子式电能表", "三相智能电能表（费控）",
    "三相多功能电能表", "单相电能表", ""};
const std::vector<std::string> noise = {
    "\t", "\r", "\n", "\r\n", "\"", "\r\"\n", "台区", "设备类型", "镇府公用台变", "三相多功能电能表", "所属台区", "a", ""};
const std::vector<std::string> fieldTexts = {
    "", "台区", "设备类型", "镇府公用台变", "三相多功能电能表", "三相载波电子式电能表", "所属台区", "a",
    "\r\n", "a\r", "\r", "\n", "a\tb", "台区\r\n设备类型"};
// clang-format on

constexpr FieldId alternatives[] = {FieldId::Text2, FieldId::Text5, FieldId::Text6, FieldId::Text7,
                                    FieldId::Text8};

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text)
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    return out;
}

class Generator {
public:
    explicit Generator(std::uint32_t seed) : m_random(seed) {}

    std::size_t below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
    }
    bool chance(int percent) { return static_cast<int>(below(100)) < percent; }
    const std::string& pick(const std::vector<std::string>& texts) { return texts[below(texts.size())]; }

    std::string either(const std::string& first, const std::string& second) {
        return chance(50) ? first : second;
    }

    // A sheet of a few rows: a header row (mostly first) naming the two columns, then rows holding
    // the value and an alternative there, some of them short.
    std::string report(RecordingView& fields) {
        std::string text;
        if (chance(15)) {
            for (std::size_t n = below(12); n > 0; --n)
                text += pick(chance(50) ? noise : filler);
            return text;
        }
        const std::size_t width = chance(10) ? 1 : 2 + below(3);
        const std::size_t column1 = below(width);
        const std::size_t column2 = chance(10) ? column1 : (column1 + 1 + below(width - 1)) % width;
        const std::size_t headerAt = chance(70) ? 0 : below(8);
        for (std::size_t row = 0, rows = below(8); row < rows; ++row) {
            const bool header = row == headerAt;
            const std::size_t cells = header || chance(85) ? width : 1 + below(width);
            for (std::size_t cell = 0; cell < cells; ++cell) {
                if (cell == column1 && header)
                    text += either("台区", fields.fieldText(FieldId::Text3));
                else if (cell == column2 && header)
                    text += either("设备类型", fields.fieldText(FieldId::Text4));
                else if (cell == column1 && chance(80))
                    text += either("镇府公用台变", fields.fieldText(FieldId::Text1));
                else if (cell == column2 && chance(80))
                    text += either(pick(alternativeTexts), fields.fieldText(alternatives[below(5)]));
                else
                    text += pick(filler);
                if (cell + 1 < cells)
                    text += '\t';
            }
            if (row + 1 < rows || chance(80))
                text += "\r\n";
        }
        if (chance(40)) {
            // At a character boundary: the noise may split a cell, not a character.
            std::size_t at = below(text.size() + 1);
            while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
                ++at;
            text.insert(at, pick(noise));
        }
        return text;
    }

    // Mostly the window's defaults; sometimes another text, and sometimes two equal alternatives.
    std::string fields(std::initializer_list<RecordingView*> views) {
        RecordingView& first = **views.begin();
        const auto set = [&](FieldId field, const std::string& text) {
            for (RecordingView* view : views)
                view->setField(field, text);
        };
        std::string description = "fields";
        for (int i = 0; i < 8; ++i)
            set(static_cast<FieldId>(i), chance(80) ? test::defaultFieldTexts[i] : pick(fieldTexts));
        if (chance(20)) {
            const std::string text = first.fieldText(alternatives[below(5)]);
            set(alternatives[below(5)], text);
        }
        for (int i = 0; i < 8; ++i)
            description += " [" + escaped(first.fieldText(static_cast<FieldId>(i))) + "]";
        return description;
    }

    // The text cut anywhere, inside a character too: sometimes a byte at a time, otherwise in
    // slices of up to 8 bytes, with empty slices among them.
    std::vector<std::string_view> slices(std::string_view text) {
        const std::size_t longest = chance(20) ? 1 : 1 + below(8);
        std::vector<std::string_view> parts;
        for (std::size_t at = 0; at < text.size(); at += parts.back().size())
            parts.push_back(text.substr(at, chance(10) ? 0 : 1 + below(longest)));
        if (chance(20))
            parts.emplace_back();
        return parts;
    }

private:
    std::mt19937 m_random;
};

// The pairs counted over one series of slices, the text imported over another; the last slice
// is handed to finish() or appended, and the size given is sometimes too small. A text whose
// every LF follows a CR is sometimes imported as Linux copies it, each CR LF an LF alone.
void importInSlices(TallyState& state, std::string_view copied, TallyView& view, Generator& generate) {
    std::string text(copied);
    RowEnd rowEnd = RowEnd::CrLf;
    std::int64_t rowEnds = 0;
    if (std::ranges::count(text, '\n') == countCrLf(text) && generate.chance(50)) {
        for (std::size_t at = text.find("\r\n"); at != npos; at = text.find("\r\n", at))
            text.erase(at, 1);
        rowEnd = RowEnd::LineFeed;
        rowEnds = std::ranges::count(text, '\n');
    } else {
        CrLfCounter counter;
        for (std::string_view slice : generate.slices(text))
            counter.add(slice);
        rowEnds = counter.pairs();
    }
    const std::size_t size = text.size() + static_cast<std::size_t>(rowEnds);
    ImportPass pass(state, view, rowEnds, generate.chance(80) ? size : generate.below(8), rowEnd);
    std::vector<std::string_view> slices = generate.slices(text);
    std::string_view last;
    if (!slices.empty() && generate.chance(50)) {
        last = slices.back();
        slices.pop_back();
    }
    for (std::string_view slice : slices)
        pass.append(slice);
    pass.finish(last);
}

void expectSame(const naive::State& expected, const RecordingView& expectedView, const TallyState& actual,
                const RecordingView& actualView) {
    EXPECT_EQ(expected.alli, actual.alli());
    EXPECT_EQ(escaped(expected.alltxt), escaped(actual.alltxt()));
    EXPECT_EQ(expected.alltxti, actual.alltxti());
    EXPECT_EQ(escaped(expected.allouttxt), escaped(actual.allouttxt()));
    EXPECT_EQ(expectedView.log(), actualView.log());
}

TEST(Differential, EngineAgreesWithNaiveTally) {
    // To replay a failure, start the loop at the seed it names.
    constexpr std::uint32_t firstSeed = 20260105;
    constexpr std::uint32_t cases = 5000;
    for (std::uint32_t seed = firstSeed; seed < firstSeed + cases && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator generate(seed);
        naive::State expected;
        TallyState actual;
        TallyState sliced;
        RecordingView expectedView;
        RecordingView actualView;
        RecordingView slicedView;
        std::string steps = generate.fields({&expectedView, &actualView, &slicedView});

        const std::size_t count = 1 + generate.below(6);
        for (std::size_t step = 0; step <= count && !HasFailure(); ++step) {
            // The last step is always a statistics run.
            const std::size_t kind = step == count ? 5 : generate.below(10);
            if (kind < 5) {
                const std::string text = generate.report(expectedView);
                steps += "\nimport [" + escaped(text) + "]";
                EXPECT_EQ(naive::isImportable(text), isImportable(text)) << escaped(text);
                naive::importText(expected, text, expectedView);
                importText(actual, text, actualView);
                importInSlices(sliced, text, slicedView, generate);
            } else if (kind < 8) {
                steps += "\nstatistics";
                naive::runStatistics(expected, expectedView);
                runStatistics(actual, actualView);
                runStatistics(sliced, slicedView);
            } else if (kind < 9) {
                steps += "\nreset";
                naive::reset(expected, expectedView);
                actual.reset(actualView);
                sliced.reset(slicedView);
            } else {
                steps += '\n';
                steps += generate.fields({&expectedView, &actualView, &slicedView});
            }
            SCOPED_TRACE(steps);
            {
                SCOPED_TRACE("whole text");
                expectSame(expected, expectedView, actual, actualView);
            }
            {
                SCOPED_TRACE("in slices");
                expectSame(expected, expectedView, sliced, slicedView);
            }
            expectedView.clearLog();
            actualView.clearLog();
            slicedView.clearLog();
        }
    }
}

} // namespace
} // namespace brisquel
