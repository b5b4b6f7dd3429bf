// Numbers as a cell shows them: the number formats of a Chinese Excel, as a pure function of
// the value, the format code and the workbook's date system.
#pragma once

#include "sheets/builtin_formats.h"
#include "sheets/date_system.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// One section of a code as read, in format_code.h.
struct FormatSection;

// One number format code, read once and used for many cells. A code that cannot be read
// shows its cells as General does.
class NumberFormat {
public:
    explicit NumberFormat(std::string_view code = "General");
    NumberFormat(const NumberFormat&);
    NumberFormat(NumberFormat&&) noexcept;
    NumberFormat& operator=(const NumberFormat&);
    NumberFormat& operator=(NumberFormat&&) noexcept;
    ~NumberFormat();

    // Appends the text a cell holding `value` shows. A date before 1900 (or 1904) or after
    // 9999-12-31, or a value no section's condition takes, shows "########"; NaN and the
    // infinities, which no workbook holds, show "#NUM!". Never throws but std::bad_alloc.
    void format(double value, DateSystem dates, std::string& out) const;
    // Appends the text a cell holding the text `text` shows: the code's text section applied
    // to it (as "@" or "\"编号:\"@"), or the text as it stands.
    void formatText(std::string_view text, std::string& out) const;
    // True when formatText gives every text as it stands.
    bool showsTextAsIs() const { return m_textSection.empty(); }

private:
    const FormatSection* sectionFor(double value) const;
    bool takesPositives(const FormatSection& section) const;

    // The sections numbers are shown through, in the code's order (at most three).
    std::vector<FormatSection> m_numberSections;
    // The section text is shown through, if the code has one.
    std::vector<FormatSection> m_textSection;
    // Of each number section: whether a negative number it shows keeps its minus sign.
    std::array<bool, 3> m_showsMinus{};
    // A code that is General alone takes the short way for every cell.
    bool m_plainGeneral = true;
};

} // namespace brisquel::sheets
