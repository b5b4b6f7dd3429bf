// The texts that say where a file is damaged.
#include "sheets/read_error.h"

#include <utility>

namespace brisquel::sheets {

namespace {

// The column's letters: 1 is A, 27 is AA, 16384 is XFD.
std::string columnLetters(std::int32_t column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}

} // namespace

ReadError::ReadError(Problem problem, std::string detail) : m_problem(problem), m_what(std::move(detail)) {
    describe();
}

ReadError::ReadError(std::string what, Where where)
    : m_problem(Problem::Damaged), m_what(std::move(what)), m_where(std::move(where)) {
    describe();
}

void ReadError::locate(const Where& outer) {
    if (m_problem != Problem::Damaged)
        return;
    if (m_where.part.empty())
        m_where.part = outer.part;
    if (m_where.row == 0) {
        m_where.row = outer.row;
        if (m_where.column == 0)
            m_where.column = outer.column;
    }
    describe();
}

// "part 单元格 C5：what", "part 第 5 行：what", "part：what", or what alone.
void ReadError::describe() {
    if (m_problem != Problem::Damaged) {
        m_detail = m_what;
        return;
    }
    std::string place = m_where.part;
    const auto space = [&] {
        if (!place.empty())
            place += ' ';
    };
    if (m_where.row > 0 && m_where.column > 0) {
        space();
        place += "单元格 " + columnLetters(m_where.column) + std::to_string(m_where.row);
    } else if (m_where.row > 0) {
        space();
        place += "第 " + std::to_string(m_where.row) + " 行";
    }
    m_detail = place.empty() ? m_what : place + "：" + m_what;
}

void damaged(std::string what, Where where) {
    throw ReadError(std::move(what), std::move(where));
}

} // namespace brisquel::sheets
