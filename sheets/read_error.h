// Why a file cannot be read, and where a damaged one is damaged: the one way every reader
// says so.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace brisquel::sheets {

// Why a file cannot be read.
enum class Problem {
    NotASpreadsheet,  // no kind of report file: `detail` names what it is, when known
    OtherSpreadsheet, // a spreadsheet kind the tool does not read: `detail` names it
    Damaged,          // `detail` says where and what
    Encrypted,        // protected by a password: `detail` names the kind
    Empty,            // no visible sheet in it holds a value
};

// Where in a file a reader stands, as far as it knows: the part of a ZIP archive, the stream
// of a compound file or the structure of either, and the row and column of a cell.
struct Where {
    std::string part;        // "" when not known
    std::int64_t row = 0;    // from 1; 0 when not known
    std::int32_t column = 0; // from 1 (A); 0 when not known
};

// Thrown by a reader for a file it cannot read. What the reader handed to the sink before is
// void. Running out of memory is std::bad_alloc, as everywhere else.
class ReadError : public std::exception {
public:
    // `detail` is UTF-8 and, like every text the user sees, Chinese.
    ReadError(Problem problem, std::string detail);
    // A damaged file: `what` is wrong at `where`.
    ReadError(std::string what, Where where);

    Problem problem() const { return m_problem; }
    // For a damaged file, where and what: "xl/worksheets/sheet1.xml 单元格 C5：数值无效".
    const std::string& detail() const { return m_detail; }
    const char* what() const noexcept override { return m_detail.c_str(); }

    // Adds what a caller knows of where the reader stood to what the thrower knew: the part,
    // the row and the column the thrower did not know are taken from `outer`.
    void locate(const Where& outer);

private:
    void describe();

    Problem m_problem;
    std::string m_what;
    Where m_where;
    std::string m_detail;
};

// Throws ReadError: the file is damaged at `where`.
[[noreturn]] void damaged(std::string what, Where where = {});

} // namespace brisquel::sheets
