// BIFF8 and BIFF5 records to sheet text: the workbook's globals (strings, formats, sheets)
// first, then each visible worksheet's cells, formatted as the cell shows them.
#include "sheets/xls.h"

#include "sheets/cell_formats.h"
#include "sheets/code_page.h"
#include "sheets/compound.h"
#include "sheets/crypto.h"
#include "sheets/little_endian.h"
#include "sheets/number_format.h"
#include "sheets/sheet_writer.h"
#include "sheets/visible_sheets.h"
#include "unicode/unicode.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisquel::sheets {

namespace {

enum Record : std::uint16_t {
    Formula = 0x0006,
    Eof = 0x000A,
    DateMode = 0x0022,
    CodePageRecord = 0x0042,
    FilePass = 0x002F,
    Continue = 0x003C,
    BoundSheet = 0x0085,
    MulRk = 0x00BD,
    RichLabel = 0x00D6,
    Xf = 0x00E0,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    Dimensions = 0x0200,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Rk = 0x027E,
    Format = 0x041E,
    Bof = 0x0809,
    InterfaceHeader = 0x00E1,
    RevisionHead = 0x0138,
    UserExclusive = 0x0194,
    FileLock = 0x0195,
    RevisionInfo = 0x0196,
};

// The stream the records are in is added to the message by whoever knows its name.
[[noreturn]] void damaged(const char* what) {
    sheets::damaged(what);
}

double doubleAt(std::string_view bytes, std::size_t at) {
    return std::bit_cast<double>(std::uint64_t{u32At(bytes, at)} | std::uint64_t{u32At(bytes, at + 4)} << 32);
}

// An RK value: a whole number or the high 30 bits of a double, maybe divided by 100.
double rkValue(std::uint32_t rk) {
    const double value = (rk & 2) != 0 ? static_cast<double>(static_cast<std::int32_t>(rk) >> 2)
                                       : std::bit_cast<double>(std::uint64_t{rk & 0xFFFFFFFCu} << 32);
    return (rk & 1) != 0 ? value / 100 : value;
}

// The records of a stream, from a given offset; a record must lie wholly in the stream.
class Records {
public:
    Records(std::string_view stream, std::size_t at) : m_stream(stream), m_at(at) {}

    std::size_t at() const { return m_at; }

    bool next(std::uint16_t& type, std::string_view& data) {
        if (m_at >= m_stream.size())
            return false;
        if (m_stream.size() - m_at < 4)
            damaged("记录头不完整");
        type = static_cast<std::uint16_t>(u16At(m_stream, m_at));
        const std::size_t length = u16At(m_stream, m_at + 2);
        if (m_stream.size() - m_at - 4 < length)
            damaged("记录比数据流长");
        data = m_stream.substr(m_at + 4, length);
        m_at += 4 + length;
        return true;
    }

    // The data of the CONTINUE record right after the last one read, if there is one.
    bool nextContinue(std::string_view& data) {
        if (m_stream.size() - m_at < 4 || u16At(m_stream, m_at) != Continue)
            return false;
        std::uint16_t type = 0;
        return next(type, data);
    }

private:
    std::string_view m_stream;
    std::size_t m_at;
};

// A record's data and the CONTINUE records after it, read as one. A string's characters may
// break at a CONTINUE, whose data then starts with the flags of the rest of them.
class Pieces {
public:
    Pieces(std::string_view first, Records& records) : m_piece(first), m_records(records) {}

    // Whether the record and its CONTINUE records are read to their end; empty CONTINUE
    // records are passed over.
    bool atEnd() {
        while (m_at == m_piece.size())
            if (!nextPiece())
                return true;
        return false;
    }

    std::uint32_t byte() {
        if (atEnd())
            damaged("字符串比记录长");
        return static_cast<unsigned char>(m_piece[m_at++]);
    }
    std::uint32_t u16() {
        const std::uint32_t low = byte();
        return low | byte() << 8;
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | u16() << 16;
    }

    void skip(std::uint64_t count) {
        while (count > 0) {
            if (atEnd())
                damaged("字符串比记录长");
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, m_piece.size() - m_at));
            m_at += step;
            count -= step;
        }
    }

    // `count` characters, one byte each (U+0000 to U+00FF) or UTF-16, appended as UTF-8.
    void chars(std::size_t count, bool wide, std::string& out) {
        Utf16Decoder utf16;
        while (count > 0) {
            if (m_at == m_piece.size()) {
                if (!nextPiece())
                    damaged("字符串比记录长");
                wide = (byte() & 1) != 0;
            }
            const std::size_t room = (m_piece.size() - m_at) / (wide ? 2 : 1);
            if (room == 0)
                damaged("字符被记录截断");
            const std::size_t take = std::min(count, room);
            if (!wide) {
                for (std::size_t i = 0; i < take; ++i)
                    appendUtf8(static_cast<unsigned char>(m_piece[m_at + i]), out);
                m_at += take;
            } else {
                for (std::size_t i = 0; i < take; ++i, m_at += 2)
                    utf16.put(static_cast<char16_t>(u16At(m_piece, m_at)), out);
            }
            count -= take;
        }
        utf16.finish(out);
    }

    // `count` bytes as they stand, across CONTINUE records, appended to `out`.
    void bytes(std::size_t count, std::string& out) {
        while (count > 0) {
            if (atEnd())
                damaged("字符串比记录长");
            const std::size_t take = std::min(count, m_piece.size() - m_at);
            out.append(m_piece.substr(m_at, take));
            m_at += take;
            count -= take;
        }
    }

private:
    bool nextPiece() {
        if (!m_records.nextContinue(m_piece))
            return false;
        m_at = 0;
        return true;
    }

    std::string_view m_piece;
    std::size_t m_at = 0;
    Records& m_records;
};

// A string with its length, its flags and its characters; its rich-text runs and phonetic
// data skipped.
void readString(Pieces& in, std::string& out) {
    const std::size_t count = in.u16();
    const std::uint32_t flags = in.byte();
    const std::uint32_t runs = (flags & 8) != 0 ? in.u16() : 0;
    const std::uint32_t phonetic = (flags & 4) != 0 ? in.u32() : 0;
    in.chars(count, (flags & 1) != 0, out);
    in.skip(std::uint64_t{runs} * 4 + phonetic);
}

std::string stringIn(std::string_view data, std::size_t at) {
    Records none(std::string_view(), 0);
    Pieces in(data.substr(std::min(at, data.size())), none);
    std::string text;
    readString(in, text);
    return text;
}

// A FORMAT record's code. Writers are known to claim a character more than they store, and a
// format is not a cell's value: what is there is taken.
std::string formatCode(std::string_view data, bool biff5, const CodePage& codePage) {
    std::string code;
    if (biff5) {
        if (data.size() >= 3)
            codePage.decode(data.substr(3, static_cast<unsigned char>(data[2])), code);
        return code;
    }
    if (data.size() < 5)
        return code;
    const bool wide = (data[4] & 1) != 0;
    const std::size_t count = std::min<std::size_t>(u16At(data, 2), (data.size() - 5) / (wide ? 2 : 1));
    Utf16Decoder utf16;
    for (std::size_t i = 0; i < count; ++i) {
        if (wide)
            utf16.put(static_cast<char16_t>(u16At(data, 5 + i * 2)), code);
        else
            appendUtf8(static_cast<unsigned char>(data[5 + i]), code);
    }
    utf16.finish(code);
    return code;
}

const char* errorText(std::uint32_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

// An .xls saved with a password to modify it, and none to open it, is encrypted with the
// password Excel tries first and opens it with unasked.
constexpr std::string_view defaultPassword =
    std::string_view("V\0e\0l\0v\0e\0t\0S\0w\0e\0a\0t\0s\0h\0o\0p\0", 30);

// The key stream of Excel 97's RC4 encryption: a key for every 1024 bytes of the stream, from
// their number and a hash of the password and the salt, by MD5 with a 40-bit key or, through
// CryptoAPI, by SHA-1.
class BlockKeys {
public:
    static BlockKeys md5Keys(std::string_view password, std::string_view salt) {
        const Md5Digest first = md5(password);
        std::string repeated;
        for (int i = 0; i < 16; ++i)
            repeated.append(reinterpret_cast<const char*>(first.data()), 5).append(salt);
        const Md5Digest second = md5(repeated);
        return BlockKeys(std::string(reinterpret_cast<const char*>(second.data()), 5), 0);
    }
    static BlockKeys sha1Keys(std::string_view password, std::string_view salt, std::size_t keyBytes) {
        const Sha1Digest hash = sha1(std::string(salt).append(password));
        return BlockKeys(std::string(reinterpret_cast<const char*>(hash.data()), hash.size()), keyBytes);
    }

    Rc4 block(std::uint32_t number) const {
        std::string keyed = m_base;
        for (int i = 0; i < 4; ++i)
            keyed += static_cast<char>(number >> (8 * i) & 0xFF);
        if (m_keyBytes == 0) {
            const Md5Digest key = md5(keyed);
            return Rc4(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
        }
        const Sha1Digest hash = sha1(keyed);
        std::string key(reinterpret_cast<const char*>(hash.data()), m_keyBytes);
        if (m_keyBytes == 5) // a 40-bit key is used as 128 bits
            key.resize(16, '\0');
        return Rc4(key);
    }

    // XORs the key stream into the bytes `from` to `to` of `stream`.
    void apply(std::string& stream, std::size_t from, std::size_t to) {
        while (from < to) {
            if (from / 1024 != m_block || m_bytes.empty()) {
                m_block = from / 1024;
                m_bytes.assign(1024, '\0');
                block(static_cast<std::uint32_t>(m_block)).apply(m_bytes.data(), m_bytes.size());
            }
            const std::size_t end = std::min(to, (m_block + 1) * 1024);
            for (; from < end; ++from)
                stream[from] ^= m_bytes[from % 1024];
        }
    }

private:
    BlockKeys(std::string base, std::size_t keyBytes) : m_base(std::move(base)), m_keyBytes(keyBytes) {}

    std::string m_base;     // the hash each block's key is made from
    std::size_t m_keyBytes; // of a SHA-1 key; 0 for MD5
    std::size_t m_block = 0;
    std::string m_bytes; // the key stream of m_block
};

// A workbook to be opened with a password, `how` naming how Excel 97-2003 encrypted it.
[[noreturn]] void encrypted(bool biff5, const char* how = "") {
    if (biff5)
        throw ReadError(Problem::Encrypted, "受密码保护的 Excel 5.0/95 工作簿");
    throw ReadError(Problem::Encrypted, std::string("受密码保护的 Excel 97-2003 工作簿（.xls") + how + "）");
}

// `stream` with the data of its records handed to `decrypt(plain, from, to, size)` to decrypt
// in place, the bytes `from` to `to` of a record of `size` bytes of data. Record headers stay
// plain, and so do a few records and the sheets' places in BOUNDSHEET.
template <typename Decrypt> std::string decryptedRecords(std::string_view stream, Decrypt decrypt) {
    std::string plain(stream);
    Records records(stream, 0);
    std::uint16_t type = 0;
    std::string_view data;
    for (std::size_t at = 0; records.next(type, data); at = records.at()) {
        if (type == Bof || type == FilePass || type == InterfaceHeader || type == RevisionHead ||
            type == UserExclusive || type == FileLock || type == RevisionInfo)
            continue;
        decrypt(plain, at + 4 + (type == BoundSheet ? std::min<std::size_t>(4, data.size()) : 0),
                records.at(), data.size());
    }
    return plain;
}

// The default password a byte a character, as XOR obfuscation takes it.
constexpr std::string_view defaultPasswordBytes = "VelvetSweatshop";

// `stream` with its records freed of XOR obfuscation, when `keyAndVerifier` (the key, then the
// verifier) tell the default password.
std::string deobfuscated(std::string_view stream, std::string_view keyAndVerifier, bool biff5) {
    const XorObfuscation obfuscation = xorObfuscation(defaultPasswordBytes);
    if (keyAndVerifier.size() < 4 || u16At(keyAndVerifier, 0) != obfuscation.key ||
        u16At(keyAndVerifier, 2) != obfuscation.verifier)
        encrypted(biff5, "，XOR 混淆");
    return decryptedRecords(
        stream, [&](std::string& plain, std::size_t from, std::size_t to, std::size_t size) {
            for (; from < to; ++from)
                plain[from] = static_cast<char>(std::rotl(static_cast<std::uint8_t>(plain[from]), 3) ^
                                                obfuscation.array[(from + size) % 16]);
        });
}

// `stream` with its records decrypted as FILEPASS `filePass` tells, when it tells the default
// password; otherwise the workbook is one to be opened with a password (ReadError). Excel
// 5.0/95 knew XOR obfuscation alone, and its FILEPASS holds no type before the key.
std::string decrypted(std::string_view stream, std::string_view filePass, bool biff5) {
    if (biff5)
        return deobfuscated(stream, filePass, true);
    if (filePass.size() >= 2 && u16At(filePass, 0) == 0)
        return deobfuscated(stream, filePass.substr(2), false);
    if (filePass.size() < 6 || u16At(filePass, 0) != 1)
        encrypted(false);
    const std::uint32_t major = u16At(filePass, 2), minor = u16At(filePass, 4);
    std::optional<BlockKeys> keys;
    std::string verifier; // 16 bytes, then their hash
    const char* how = "";
    if (major == 1 && minor == 1 && filePass.size() >= 54) {
        keys = BlockKeys::md5Keys(defaultPassword, filePass.substr(6, 16));
        verifier = filePass.substr(22, 32);
    } else if (major >= 2 && major <= 4 && minor == 2) {
        how = "，CryptoAPI RC4 加密";
        // The header, of the size given, names the key's bits; the salt and the verifier follow.
        const std::uint64_t headerSize = filePass.size() >= 14 ? u32At(filePass, 10) : 0;
        if (headerSize < 32 || filePass.size() - 14 < headerSize + 60)
            encrypted(false, how);
        const std::uint32_t bits = u32At(filePass, 30) == 0 ? 40 : u32At(filePass, 30);
        const std::size_t at = 14 + static_cast<std::size_t>(headerSize);
        if (bits < 40 || bits > 128 || bits % 8 != 0 || u32At(filePass, at) != 16 ||
            u32At(filePass, at + 36) != 20)
            encrypted(false, how);
        keys = BlockKeys::sha1Keys(defaultPassword, filePass.substr(at + 4, 16), bits / 8);
        verifier = std::string(filePass.substr(at + 20, 16)).append(filePass.substr(at + 40, 20));
    } else {
        encrypted(false);
    }
    keys->block(0).apply(verifier.data(), verifier.size());
    const std::string_view plainVerifier = std::string_view(verifier).substr(0, 16);
    const std::string hash = verifier.size() == 32
                                 ? std::string(reinterpret_cast<const char*>(md5(plainVerifier).data()), 16)
                                 : std::string(reinterpret_cast<const char*>(sha1(plainVerifier).data()), 20);
    if (verifier.compare(16, std::string::npos, hash) != 0)
        encrypted(false, how);
    return decryptedRecords(stream, [&](std::string& plain, std::size_t from, std::size_t to, std::size_t) {
        keys->apply(plain, from, to);
    });
}

struct Sheet {
    std::size_t offset;
    std::size_t end;
    Visibility visibility;
    bool worksheet; // not a chart or a macro sheet
};

// The cells of a sheet whose records are not in row and column order, held until its last
// record and then handed on in order; of two records for one cell the later one counts.
class LooseCells {
public:
    void add(std::uint32_t row, std::uint32_t column, std::string_view text) {
        m_cells.push_back({row, column, m_text.size(), text.size()});
        m_text += text;
    }

    void writeTo(SheetWriter& writer) {
        std::stable_sort(m_cells.begin(), m_cells.end(), [](const Cell& a, const Cell& b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        });
        for (std::size_t i = 0; i < m_cells.size(); ++i) {
            const Cell& cell = m_cells[i];
            if (i + 1 < m_cells.size() && m_cells[i + 1].row == cell.row &&
                m_cells[i + 1].column == cell.column)
                continue;
            writer.cell(std::int64_t{cell.row} + 1, static_cast<std::int32_t>(cell.column) + 1,
                        std::string_view(m_text).substr(cell.begin, cell.length));
        }
    }

private:
    struct Cell {
        std::uint32_t row, column;
        std::size_t begin, length; // in m_text
    };
    std::vector<Cell> m_cells;
    std::string m_text;
};

// The language of a double-byte code page the tool does not read, for the notice.
std::string languageOf(std::uint32_t codePage) {
    switch (codePage) {
    case 932:
        return "（日文）";
    case 949:
        return "（韩文）";
    case 950:
        return "（繁体中文）";
    default:
        return "";
    }
}

// What the workbook's globals tell: the sheets, the shared strings and the cells' formats.
class Workbook {
public:
    explicit Workbook(std::string_view stream);
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    void readSheets(SheetSink& sink) const;

private:
    void readGlobal(std::uint16_t type, std::string_view data, Records& records);
    void readSharedStrings(std::string_view data, Records& records);
    void placeSheets();
    void readSheet(const Sheet& sheet, SheetSink& sink) const;
    bool cellsInOrder(const Sheet& sheet) const;
    void readCells(const Sheet& sheet, bool inOrder, SheetWriter& writer) const;
    const NumberFormat& formatOf(std::uint32_t xf) const { return m_formats.ofStyle(xf); }
    std::string_view sharedString(std::uint32_t index) const;
    // An Excel 5.0/95 cell's string in the workbook's code page: its 16-bit length at `at`,
    // then its bytes.
    void byteString(std::string_view data, std::size_t at, std::string& out) const;

    std::string_view m_stream;
    std::string m_decrypted; // the stream, when the file encrypts it
    bool m_biff5 = false;    // Excel 5.0/95: strings of bytes in m_codePage, no shared strings
    CodePage m_codePage = *CodePage::find(1252);
    DateSystem m_dates = DateSystem::From1900;
    std::vector<Sheet> m_sheets;
    StringTable m_strings;
    FormatTable m_formats; // the XF records are the cell styles
};

// Whether a BOF record begins the records of Excel 5.0/95 rather than those of Excel 97-2003.
bool isBiff5(std::string_view data) {
    if (data.size() < 4)
        damaged("BOF 记录太短");
    const std::uint32_t version = u16At(data, 0);
    if (version != 0x0500 && version != 0x0600)
        throw ReadError(Problem::OtherSpreadsheet, "早期版本的 Excel 工作簿");
    return version == 0x0500;
}

Workbook::Workbook(std::string_view stream) : m_stream(stream) {
    Records records(stream, 0);
    std::uint16_t type = 0;
    std::string_view data;
    if (!records.next(type, data) || type != Bof)
        damaged("缺少 BOF 记录");
    m_biff5 = isBiff5(data);
    if (Records after = records; after.next(type, data) && type == FilePass) {
        m_decrypted = decrypted(stream, data, m_biff5);
        m_stream = m_decrypted;
        records = Records(m_stream, after.at());
    }
    for (std::uint16_t previous = Bof; records.next(type, data) && type != Eof; previous = type) {
        if (type == Continue && previous == Bof)
            damaged("CONTINUE 记录前没有记录");
        readGlobal(type, data, records);
    }
    m_formats.settle();
    placeSheets();
}

// Each sheet's records end where the next sheet's in the stream begin, so that no record is
// read for two sheets, whatever order the workbook lists them in.
void Workbook::placeSheets() {
    std::vector<Sheet*> placed;
    for (Sheet& sheet : m_sheets)
        placed.push_back(&sheet);
    std::sort(placed.begin(), placed.end(),
              [](const Sheet* a, const Sheet* b) { return a->offset < b->offset; });
    for (std::size_t i = 1; i < placed.size(); ++i) {
        if (placed[i]->offset == placed[i - 1]->offset)
            damaged("两张工作表位置相同");
        placed[i - 1]->end = placed[i]->offset;
    }
}

void Workbook::readGlobal(std::uint16_t type, std::string_view data, Records& records) {
    switch (type) {
    case FilePass:
        encrypted(m_biff5);
    case CodePageRecord:
        // Excel 97-2003 strings say their own encoding; Excel 5.0/95 ones are bytes.
        if (m_biff5 && data.size() >= 2) {
            const std::optional<CodePage> page = CodePage::find(u16At(data, 0));
            if (!page)
                throw ReadError(Problem::OtherSpreadsheet, "使用代码页 " + std::to_string(u16At(data, 0)) +
                                                               languageOf(u16At(data, 0)) +
                                                               " 的 Excel 5.0/95 工作簿");
            m_codePage = *page;
        }
        break;
    case DateMode:
        if (data.size() >= 2 && u16At(data, 0) == 1)
            m_dates = DateSystem::From1904;
        break;
    case BoundSheet:
        if (data.size() < 8)
            damaged("BOUNDSHEET 记录太短");
        if (u32At(data, 0) >= m_stream.size())
            damaged("工作表位置超出数据流");
        m_sheets.push_back({u32At(data, 0), m_stream.size(),
                            (data[4] & 3) == 0   ? Visibility::Visible
                            : (data[4] & 3) == 1 ? Visibility::Hidden
                                                 : Visibility::VeryHidden,
                            data[5] == 0});
        break;
    case Format:
        if (data.size() >= 2)
            m_formats.define(u16At(data, 0), formatCode(data, m_biff5, m_codePage));
        break;
    case Xf:
        if (data.size() >= 4)
            m_formats.addStyle(u16At(data, 2));
        break;
    case Sst:
        if (!m_biff5)
            readSharedStrings(data, records);
        break;
    default:
        break;
    }
}

void Workbook::readSharedStrings(std::string_view data, Records& records) {
    if (data.size() < 8)
        damaged("SST 记录太短");
    const std::uint32_t count = u32At(data, 4);
    // Every string takes at least three bytes of the stream.
    m_strings.reserve(std::min<std::size_t>(count, m_stream.size() / 3));
    Pieces in(data.substr(8), records);
    for (std::uint32_t i = 0; i < count && !in.atEnd(); ++i) {
        readString(in, m_strings.text());
        m_strings.endString();
    }
    m_strings.shrink();
}

std::string_view Workbook::sharedString(std::uint32_t index) const {
    const auto text = m_strings.at(index);
    if (!text)
        damaged("共享字符串序号超出范围");
    return *text;
}

void Workbook::byteString(std::string_view data, std::size_t at, std::string& out) const {
    if (data.size() < at + 2 || data.size() - at - 2 < u16At(data, at))
        damaged("字符串比记录长");
    m_codePage.decode(data.substr(at + 2, u16At(data, at)), out);
}

void Workbook::readSheets(SheetSink& sink) const {
    VisibleSheets visible(sink);
    for (const Sheet& sheet : m_sheets)
        if (sheet.worksheet && VisibleSheets::reads(sheet.visibility))
            readSheet(sheet, visible);
    visible.finish();
}

void Workbook::readSheet(const Sheet& sheet, SheetSink& sink) const {
    Records records(m_stream.substr(0, sheet.end), sheet.offset);
    std::uint16_t type = 0;
    std::string_view data;
    if (!records.next(type, data) || type != Bof)
        damaged("工作表缺少 BOF 记录");
    isBiff5(data);
    // DIMENSIONS comes before the cells; it tells the rows and columns in use, within the
    // 65,536 rows (16,384 in Excel 5.0/95) and 256 columns of the sheet.
    // The records of this sheet and the sheets after it are more than their text: room for
    // all of it is made once, and the rows are never copied to a larger buffer on the way.
    SheetSize expected{0, m_stream.size() - sheet.offset};
    std::int32_t columns = 0;
    while (records.next(type, data) && type != Eof && type != LabelSst && type != Label && type != Number &&
           type != Rk) {
        if (type == Dimensions && data.size() >= (m_biff5 ? 8u : 12u)) {
            expected.rows = std::min<std::int64_t>(m_biff5 ? u16At(data, 2) : u32At(data, 4), 1 << 16);
            columns = static_cast<std::int32_t>(std::min<std::uint32_t>(u16At(data, m_biff5 ? 6 : 10), 256));
            break;
        }
    }
    const bool inOrder = cellsInOrder(sheet);
    writeSheet(sink, expected, columns, [&](SheetWriter& writer) { readCells(sheet, inOrder, writer); });
}

// Whether every cell record of the sheet stands after the one before it, row by row and, in
// a row, column by column, as Excel writes them. Other writers need not.
bool Workbook::cellsInOrder(const Sheet& sheet) const {
    Records records(m_stream.substr(0, sheet.end), sheet.offset);
    std::uint16_t type = 0;
    std::string_view data;
    int depth = 0;
    std::uint64_t last = 0; // the row and column of the last cell, row * 65536 + column + 1
    while (records.next(type, data)) {
        if (type == Bof || type == Eof) {
            depth += type == Bof ? 1 : -1;
            if (depth == 0)
                break;
            continue;
        }
        const bool cell = type == LabelSst || type == Label || type == RichLabel || type == Number ||
                          type == Rk || type == BoolErr || type == Formula || type == MulRk;
        if (!cell || depth != 1 || data.size() < 6)
            continue;
        const std::uint64_t at = std::uint64_t{u16At(data, 0)} << 16 | u16At(data, 2);
        if (at + 1 <= last)
            return false;
        last = at + 1;
        if (type == MulRk)
            last += (data.size() - 6) / 6 - (data.size() >= 12 ? 1 : 0);
    }
    return true;
}

void Workbook::readCells(const Sheet& sheet, bool inOrder, SheetWriter& writer) const {
    Records records(m_stream.substr(0, sheet.end), sheet.offset);
    std::uint16_t type = 0;
    std::string_view data;
    std::string text, value;
    LooseCells loose;
    int depth = 0; // charts embedded in the sheet are substreams of their own
    bool stringPending = false;
    std::uint32_t pendingRow = 0, pendingColumn = 0, pendingXf = 0;
    auto put = [&](std::uint32_t row, std::uint32_t column) {
        stringPending = false; // a formula's text comes right after it, or never
        if (inOrder)
            writer.cell(std::int64_t{row} + 1, static_cast<std::int32_t>(column) + 1, text);
        else
            loose.add(row, column, text);
    };
    auto number = [&](std::uint32_t row, std::uint32_t column, std::uint32_t xf, double shown) {
        text.clear();
        formatOf(xf).format(shown, m_dates, text);
        put(row, column);
    };
    auto cellAt = [&](std::size_t size) {
        if (depth != 1)
            return false;
        if (data.size() < size)
            damaged("单元格记录太短");
        text.clear();
        value.clear();
        return true;
    };
    while (records.next(type, data)) {
        switch (type) {
        case Bof:
            ++depth;
            break;
        case Eof:
            if (--depth == 0) {
                if (!inOrder)
                    loose.writeTo(writer);
                return;
            }
            break;
        case LabelSst:
            if (cellAt(10)) {
                formatOf(u16At(data, 4)).formatText(sharedString(u32At(data, 6)), text);
                put(u16At(data, 0), u16At(data, 2));
            }
            break;
        case Label:
        case RichLabel:
            if (cellAt(6)) {
                if (m_biff5)
                    byteString(data, 6, value);
                else
                    value = stringIn(data, 6);
                formatOf(u16At(data, 4)).formatText(value, text);
                put(u16At(data, 0), u16At(data, 2));
            }
            break;
        case Number:
            if (cellAt(14))
                number(u16At(data, 0), u16At(data, 2), u16At(data, 4), doubleAt(data, 6));
            break;
        case Rk:
            if (cellAt(10))
                number(u16At(data, 0), u16At(data, 2), u16At(data, 4), rkValue(u32At(data, 6)));
            break;
        case MulRk:
            if (cellAt(6))
                for (std::size_t at = 4, column = u16At(data, 2); at + 6 <= data.size() - 2;
                     at += 6, ++column)
                    number(u16At(data, 0), static_cast<std::uint32_t>(column), u16At(data, at),
                           rkValue(u32At(data, at + 2)));
            break;
        case BoolErr:
            if (cellAt(8)) {
                text = data[7] != 0 ? errorText(static_cast<unsigned char>(data[6]))
                                    : (data[6] != 0 ? "TRUE" : "FALSE");
                put(u16At(data, 0), u16At(data, 2));
            }
            break;
        case Formula:
            if (!cellAt(20))
                break;
            if (u16At(data, 12) != 0xFFFF) {
                number(u16At(data, 0), u16At(data, 2), u16At(data, 4), doubleAt(data, 6));
            } else if (data[6] == 0) { // the text follows in a STRING record
                stringPending = true;
                pendingRow = u16At(data, 0);
                pendingColumn = u16At(data, 2);
                pendingXf = u16At(data, 4);
            } else if (data[6] == 1 || data[6] == 2) {
                text = data[6] == 2 ? errorText(static_cast<unsigned char>(data[8]))
                                    : (data[8] != 0 ? "TRUE" : "FALSE");
                put(u16At(data, 0), u16At(data, 2));
            }
            break;
        case String:
            if (stringPending && depth == 1) {
                Pieces in(data, records);
                value.clear();
                if (m_biff5) {
                    std::string bytes;
                    in.bytes(in.u16(), bytes);
                    m_codePage.decode(bytes, value);
                } else {
                    readString(in, value);
                }
                text.clear();
                formatOf(pendingXf).formatText(value, text);
                put(pendingRow, pendingColumn);
            }
            break;
        default:
            break;
        }
    }
    damaged("工作表没有结束");
}

// The records of `stream`, named `name` in the message when they are damaged.
void readBiff(std::string_view stream, std::string_view name, SheetSink& sink) {
    try {
        Workbook(stream).readSheets(sink);
    } catch (ReadError& error) {
        error.locate({std::string(name) + " 数据流"});
        throw;
    }
}

} // namespace

void readBiffWorkbook(std::string_view stream, SheetSink& sink) {
    readBiff(stream, "Workbook", sink);
}

void readXls(const CompoundFile& file, std::string_view stream, SheetSink& sink) {
    std::string storage;
    readBiff(file.stream(stream, storage), stream, sink);
}

} // namespace brisquel::sheets
