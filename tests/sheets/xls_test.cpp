// The .xls reader: files LibreOffice and Gnumeric wrote, against the text LibreOffice shows
// for them; records and containers the tests write; and the notices of every other file.
#include "sheets/compound.h"
#include "sheets/crypto.h"
#include "sheets/little_endian.h"
#include "sheets/workbook.h"
#include "sheets/xls.h"
#include "text_sink.h"
#include "xls_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <iterator>

namespace brisquel::sheets {
namespace {

using namespace testing;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(BRISQUEL_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> sheetsOf(std::string_view file) {
    TextSink sink;
    readWorkbook(file, sink);
    return sink.sheets;
}

std::string xlsFile(std::string_view globals, const std::vector<XlsSheet>& sheets, bool biff5 = false) {
    return compoundFile({{biff5 ? "Book" : "Workbook", workbookStream(globals, sheets, biff5)}});
}

std::string codePage(int number) {
    return record(0x0042, le(static_cast<std::uint64_t>(number), 2));
}

// FORMAT `code` as format 164 and the style 1 showing it; BIFF8's claims `more` characters more.
std::string styled(std::string_view code, bool biff5, int more = 0) {
    const std::string head =
        biff5 ? le(code.size(), 1) : le(code.size() + static_cast<std::size_t>(more), 2) + le(0, 1);
    return record(0x041E, le(164, 2) + head + std::string(code)) + record(0x00E0, std::string(16, '\0')) +
           record(0x00E0, le(0, 2) + le(164, 2) + std::string(12, '\0'));
}

std::string formula(int row, int column, std::string_view result) {
    return record(0x0006, cellHead(row, column) + std::string(result) + le(0, 8));
}

TEST(XlsReader, FilesOfLibreOfficeAndGnumericGiveTheTextLibreOfficeShows) {
    for (const char* file : {"xls_libreoffice.xls", "xls_gnumeric.xls"}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> sheets = sheetsOf(fixture(file));
        ASSERT_EQ(3u, sheets.size()); // the hidden sheet left out
        EXPECT_EQ(fixture("xls_shown_report.txt"), sheets[0]);
        EXPECT_EQ(fixture("xls_shown_long.txt"), sheets[1]);
    }
}

TEST(XlsReader, Excel95WorkbookOfGnumericGivesTheTextLibreOfficeShows) {
    const std::vector<std::string> sheets = sheetsOf(fixture("xls_biff7_gbk.xls"));
    ASSERT_EQ(2u, sheets.size()); // the hidden sheet left out
    EXPECT_EQ(fixture("xls_biff7_gbk.txt"), sheets[0] + sheets[1]);
}

TEST(XlsReader, WorkbookOfTheDefaultPasswordIsDecrypted) {
    const std::vector<std::string> sheets = sheetsOf(fixture("xls_default_password.xls")); // LibreOffice's
    ASSERT_EQ(2u, sheets.size());
    EXPECT_EQ(fixture("xls_default_password.txt"), sheets[0] + sheets[1]);
}

std::string hex(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += "0123456789abcdef"[c >> 4] + std::string(1, "0123456789abcdef"[c & 15]);
    return out;
}

TEST(XlsCrypto, Md5Sha1AndRc4GiveThePublishedVectors) {
    const std::pair<std::string, const char*> digests[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : digests) {
        const Md5Digest result = md5(input);
        EXPECT_EQ(digest, hex({reinterpret_cast<const char*>(result.data()), result.size()})) << input;
    }
    const std::pair<std::string, const char*> sha1Digests[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    };
    for (const auto& [input, digest] : sha1Digests) {
        const Sha1Digest result = sha1(input);
        EXPECT_EQ(digest, hex({reinterpret_cast<const char*>(result.data()), result.size()})) << input;
    }
    const std::array<std::array<std::string, 3>, 3> ciphers = {{
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
    }};
    for (auto [key, text, cipher] : ciphers) {
        Rc4(key).apply(text.data(), text.size());
        EXPECT_EQ(cipher, hex(text)) << key;
    }
}

TEST(XlsCrypto, XorObfuscationGivesThePublishedVectors) {
    // "abc" as Apache POI's tests give it; "1950" from the FILEPASS of a workbook saved with it;
    // the default password's verifier as msoffcrypto-tool checks it.
    const XorObfuscation abc = xorObfuscation("abc");
    EXPECT_EQ(20810, abc.key);
    EXPECT_EQ(52250, abc.verifier);
    EXPECT_EQ("accca4abd6bac3bad6a32b45d37929bb", hex({reinterpret_cast<const char*>(abc.array.data()), 16}));
    EXPECT_EQ(0x499A, xorObfuscation("1950").key);
    EXPECT_EQ(0xCC61, xorObfuscation("1950").verifier);
    EXPECT_EQ(0x9A0A, xorObfuscation("VelvetSweatshop").verifier);
}

// LibreOffice shows the last two General numbers in full (0.00001, 123456789012); a Chinese
// Excel's General fits 11 characters, and the expected text is what it shows.
TEST(XlsReader, NumberFormatsOfTheFileAreApplied) {
    EXPECT_EQ(fixture("xls_shown_formats.txt"), sheetsOf(fixture("xls_libreoffice.xls")).at(2));
}

TEST(XlsReader, RecordsGiveTheirCellsText) {
    struct Case {
        const char* name;
        std::string globals;
        std::vector<XlsSheet> sheets;
        std::vector<std::string> texts;
        bool biff5 = false;
    };
    const Case cases[] = {
        {"shared strings cut at every record's end",
         sharedStrings({u"台区", u"abcdefghij", u"镇府😀公用", u"\u00e9"}, 9),
         {{sstCell(0, 0, 0) + sstCell(0, 1, 1) + sstCell(1, 0, 2) + sstCell(1, 1, 3)}},
         {"台区\tabcdefghij\r\n镇府😀公用\té\r\n"}},
        {"empty CONTINUE records passed over",
         record(0xFC, le(1, 4) + le(1, 4) + le(2, 2)) + record(0x3C, "") + record(0x3C, le(0, 1) + "a") +
             record(0x3C, "") + record(0x3C, le(1, 1) + le(u'区', 2)),
         {{sstCell(0, 0, 0)}},
         {"a区\r\n"}},
        {"hidden and very hidden sheets left out, the others in order",
         "",
         {{numberCell(0, 0, 1), 1}, {numberCell(0, 0, 2)}, {numberCell(0, 0, 4), 2}, {numberCell(1, 1, 3)}},
         {"2\r\n", "\t\r\n\t3\r\n"}},
        {"numbers of every record",
         "",
         {{record(0x027E, cellHead(0, 0) + le(1234 << 2 | 3, 4)) +
           record(0x027E, cellHead(0, 1) + le(std::bit_cast<std::uint64_t>(-0.5) >> 32, 4)) +
           record(0x00BD, cellHead(0, 2) + le(-7 * 4 + 2, 4) + le(0, 2) + le(100 << 2 | 3, 4) + le(3, 2)) +
           numberCell(0, 4, 0.1)}},
         {"12.34\t-0.5\t-7\t1\t0.1\r\n"}},
        {"formulas' cached results, booleans and errors",
         "",
         {{formula(0, 0, le(std::bit_cast<std::uint64_t>(24.0), 8)) +
           formula(0, 1, le(0, 6) + le(0xFFFF, 2)) +
           record(0x0207, le(2, 2) + le(1, 1) + le(u'镇', 2) + le(u'府', 2)) +
           formula(0, 2, le(1, 2) + le(1, 4) + le(0xFFFF, 2)) +
           formula(0, 3, le(2, 2) + le(7, 4) + le(0xFFFF, 2)) +
           record(0x0205, cellHead(0, 4) + le(0, 1) + le(0, 1)) +
           record(0x0205, cellHead(0, 5) + le(0x2A, 1) + le(1, 1))}},
         {"24\t镇府\tTRUE\t#DIV/0!\tFALSE\t#N/A\r\n"}},
        {"labels of one byte and two bytes a character",
         "",
         {{record(0x0204, cellHead(0, 0) + le(4, 2) + le(0, 1) + "Caf\xE9") +
           record(0x0204, cellHead(0, 1) + le(2, 2) + le(1, 1) + le(u'台', 2) + le(u'区', 2))}},
         {"Café\t台区\r\n"}},
        {"an embedded chart's records and blanks give no cells",
         "",
         {{record(0x0201, cellHead(0, 0)) + numberCell(0, 1, 1) +
           record(0x0809, le(0x0600, 2) + le(0x20, 2) + std::string(12, '\0')) + numberCell(0, 2, 5) +
           record(0x000A, "") + record(0x00BE, cellHead(0, 3) + le(0, 2) + le(4, 2)) + numberCell(1, 0, 3)}},
         {"\t1\r\n3\t\r\n"}},
        {"cells out of order where their records say, the later of two for one cell",
         "",
         {{numberCell(1, 0, 3) + numberCell(0, 1, 1) +
           record(0x00BD, cellHead(0, 2) + le(4 << 2 | 2, 4) + le(2, 2)) + numberCell(1, 0, 4)}},
         {"\t1\t4\r\n4\t\t\r\n"}},
        {"a FORMAT claiming a character more than it holds",
         styled("0.0%", false, 1),
         {{numberCell(0, 0, 0.5, 1)}},
         {"50.0%\r\n"}},
        {"Excel 95 GBK, a formula's text cut by a CONTINUE, a hidden sheet",
         codePage(936),
         {{byteLabel(0, 0, "\xCC\xA8\xC7\xF8") + formula(0, 1, le(0, 6) + le(0xFFFF, 2)) +
           record(0x0207, le(4, 2) + "\xD5\xF2") + record(0x003C, "\xB8\xAE")},
          {byteLabel(0, 0, "x"), 1}},
         {"台区\t镇府\r\n"},
         true},
        {"Excel 95 without a CODEPAGE: Windows Latin 1",
         "",
         {{byteLabel(0, 0, "\x80\x81\x9F")}},
         {"€\u0081Ÿ\r\n"},
         true},
        {"Excel 95 Cyrillic", codePage(1251), {{byteLabel(0, 0, "\xC0\xE1")}}, {"Аб\r\n"}, true},
        {"Excel 95 Mac Roman", codePage(32768), {{byteLabel(0, 0, "\x80\x8E")}}, {"Äé\r\n"}, true},
        {"Excel 95 UTF-8 repaired", codePage(65001), {{byteLabel(0, 0, "a\xFF")}}, {"a\uFFFD\r\n"}, true},
        {"Excel 95 UTF-16, half a unit at the end",
         codePage(1200),
         {{byteLabel(0, 0, "\xF0\x53\x3A\x53\x41")}},
         {"台区\uFFFD\r\n"},
         true},
        {"Excel 95 formats in the code page and 1904 dates",
         codePage(936) + record(0x0022, le(1, 2)) + styled("yyyy\"\xC4\xEA\"m", true),
         {{numberCell(0, 0, 31, 1)}},
         {"1904年2\r\n"},
         true},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.texts, sheetsOf(xlsFile(entry.globals, entry.sheets, entry.biff5)));
    }
}

TEST(XlsReader, SheetsComeInTheWorkbooksOrderWhereverTheirRecordsStand) {
    std::string stream = workbookStream("", {{numberCell(0, 0, 1)}, {numberCell(0, 0, 2)}});
    const std::string first = stream.substr(24, 4), second = stream.substr(38, 4); // the BOUNDSHEETs' offsets
    stream.replace(24, 4, second).replace(38, 4, first);
    EXPECT_EQ((std::vector<std::string>{"2\r\n", "1\r\n"}), sheetsOf(compoundFile({{"Workbook", stream}})));
    stream.replace(24, 4, first);
    EXPECT_THROW(sheetsOf(compoundFile({{"Workbook", stream}})), ReadError); // two sheets in one place
}

TEST(CompoundFile, StreamsOfEverySizeComeBackWhole) {
    std::string large(8 << 20, '\0'); // more FAT sectors than the header lists: a DIFAT
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7 / 5);
    for (unsigned shift : {9u, 12u}) {
        for (std::size_t size :
             {std::size_t{0}, std::size_t{100}, std::size_t{4095}, std::size_t{4096}, large.size()}) {
            SCOPED_TRACE(std::to_string(shift) + " " + std::to_string(size));
            const std::string bytes = large.substr(0, size);
            const std::string file = compoundFile({{"Small", "x"}, {"Data", bytes}, {"Other", "y"}}, shift);
            const CompoundFile compound(file);
            std::string storage;
            EXPECT_EQ(bytes, compound.stream("data", storage));
            EXPECT_EQ("y", compound.stream("OTHER", storage));
        }
    }
}

// Excel's XOR obfuscation as the Office document cryptography documentation's pseudo-code
// spells it out, step by step, to obfuscate workbooks for the reader.
namespace method1 {

constexpr std::uint16_t InitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                           0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::uint16_t XorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
constexpr std::uint8_t PadArray[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                       0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

std::uint16_t CreateXorKey(const std::string& Password) {
    std::uint16_t XorKey = InitialCode[Password.size() - 1];
    int CurrentElement = 0x68;
    for (std::size_t Index = Password.size(); Index-- > 0;) {
        std::uint8_t Char = static_cast<std::uint8_t>(Password[Index]);
        for (int i = 0; i < 7; ++i) {
            if ((Char & 0x40) != 0)
                XorKey ^= XorMatrix[CurrentElement];
            Char = static_cast<std::uint8_t>(Char << 1);
            --CurrentElement;
        }
    }
    return XorKey;
}

std::uint16_t CreatePasswordVerifier(const std::string& Password) {
    std::uint16_t Verifier = 0;
    const std::string PasswordArray = static_cast<char>(Password.size()) + Password;
    for (std::size_t Index = PasswordArray.size(); Index-- > 0;) {
        const int Intermediate1 = (Verifier & 0x4000) == 0 ? 0 : 1;
        const int Intermediate2 = Verifier * 2 & 0x7FFF;
        const int Intermediate3 = Intermediate1 | Intermediate2;
        Verifier =
            static_cast<std::uint16_t>(Intermediate3 ^ static_cast<std::uint8_t>(PasswordArray[Index]));
    }
    return static_cast<std::uint16_t>(Verifier ^ 0xCE4B);
}

std::uint8_t XorRor(std::uint8_t byte1, std::uint8_t byte2) {
    return std::rotr(static_cast<std::uint8_t>(byte1 ^ byte2), 1);
}

std::array<std::uint8_t, 16> CreateXorArray(const std::string& Password) {
    const std::uint16_t XorKey = CreateXorKey(Password);
    const auto High = static_cast<std::uint8_t>(XorKey >> 8), Low = static_cast<std::uint8_t>(XorKey & 0xFF);
    int Index = static_cast<int>(Password.size());
    std::array<std::uint8_t, 16> ObfuscationArray{};
    if (Index % 2 == 1) {
        ObfuscationArray[Index] = XorRor(PadArray[0], High);
        --Index;
        ObfuscationArray[Index] = XorRor(Password.back(), Low);
    }
    while (Index > 0) {
        --Index;
        ObfuscationArray[Index] = XorRor(Password[Index], High);
        --Index;
        ObfuscationArray[Index] = XorRor(Password[Index], Low);
    }
    Index = 15;
    int PadIndex = 15 - static_cast<int>(Password.size());
    while (PadIndex > 0) {
        ObfuscationArray[Index--] = XorRor(PadArray[PadIndex--], High);
        ObfuscationArray[Index--] = XorRor(PadArray[PadIndex--], Low);
    }
    return ObfuscationArray;
}

void EncryptData(const std::string& Password, char* Data, std::size_t Length, std::size_t XorArrayIndex) {
    const std::array<std::uint8_t, 16> XorArray = CreateXorArray(Password);
    for (std::size_t Index = 0; Index < Length; ++Index) {
        Data[Index] =
            static_cast<char>(std::rotl(static_cast<std::uint8_t>(Data[Index]), 5) ^ XorArray[XorArrayIndex]);
        XorArrayIndex = (XorArrayIndex + 1) % 16;
    }
}

// `stream` with FILEPASS `filePass` after its first BOF, the sheets' places in BOUNDSHEET moved
// past it, and the data of its records obfuscated but for the records and places never
// obfuscated. A record's obfuscation starts at the XOR array's byte for the place of its first
// obfuscated byte in the stream plus the size of its data.
std::string obfuscated(std::string_view stream, std::string_view filePass, const std::string& password) {
    std::string out;
    for (std::size_t at = 0; at < stream.size(); at += 4 + u16At(stream, at + 2)) {
        std::string data(stream.substr(at + 4, u16At(stream, at + 2)));
        if (u16At(stream, at) == 0x0085)
            data.replace(0, 4, le(u32At(data, 0) + 4 + filePass.size(), 4));
        out += record(static_cast<std::uint16_t>(u16At(stream, at)), data);
        if (at == 0)
            out += record(0x002F, filePass);
    }
    for (std::size_t at = 0; at < out.size(); at += 4 + u16At(out, at + 2)) {
        const std::uint32_t type = u16At(out, at), size = u16At(out, at + 2);
        if (type == 0x0809 || type == 0x002F || type == 0x0194 || type == 0x0195 || type == 0x00E1 ||
            type == 0x0196 || type == 0x0138)
            continue;
        const std::size_t first = at + 4 + (type == 0x0085 ? 4 : 0);
        EncryptData(password, out.data() + first, at + 4 + size - first, (first + size) % 16);
    }
    return out;
}

} // namespace method1

TEST(XlsReader, WorkbookObfuscatedUnderTheDefaultPasswordReadsAsThePlainOne) {
    const std::string password = "VelvetSweatshop";
    const std::string keys =
        le(method1::CreateXorKey(password), 2) + le(method1::CreatePasswordVerifier(password), 2);
    for (const auto& [name, stream, filePass] :
         {std::array<std::string, 3>{"xls_libreoffice.xls", "Workbook", le(0, 2) + keys},
          {"xls_gnumeric.xls", "Workbook", le(0, 2) + keys},
          {"xls_biff7_gbk.xls", "Book", keys}}) {
        SCOPED_TRACE(name);
        const std::string file = fixture(name);
        std::string storage;
        const std::string_view plain = CompoundFile(file).stream(stream, storage);
        EXPECT_EQ(sheetsOf(file),
                  sheetsOf(compoundFile({{stream, method1::obfuscated(plain, filePass, password)}})));
    }
}

std::string patched(std::string bytes, std::size_t at, std::uint32_t value) {
    bytes.replace(at, 4, le(value, 4));
    return bytes;
}

// A workbook encrypted through CryptoAPI with a key of 128 bits from the default password, or,
// with `other`, from another; it holds no record to decrypt.
std::string cryptoApiWorkbook(bool other) {
    const std::string salt(16, 'S');
    const std::string password =
        other ? std::string("x\0", 2) : std::string("V\0e\0l\0v\0e\0t\0S\0w\0e\0a\0t\0s\0h\0o\0p\0", 30);
    const Sha1Digest first = sha1(salt + password);
    const Sha1Digest key = sha1(std::string(first.begin(), first.end()) + le(0, 4));
    const Sha1Digest hash = sha1("0123456789abcdef");
    std::string verifier = "0123456789abcdef" + std::string(hash.begin(), hash.end());
    Rc4(std::string(key.begin(), key.begin() + 16)).apply(verifier.data(), verifier.size());
    const std::string header = le(0, 8) + le(0x6801, 4) + le(0x8004, 4) + le(128, 4) + le(1, 4) + le(0, 8);
    const std::string filePass = le(1, 2) + le(4, 2) + le(2, 2) + le(0, 4) + le(header.size(), 4) + header +
                                 le(16, 4) + salt + verifier.substr(0, 16) + le(20, 4) + verifier.substr(16);
    return xlsFile(record(0x002F, filePass), {});
}

TEST(XlsReader, EveryOtherFileGetsItsNotice) {
    const std::string strings = sharedStrings({u"台区", u"镇府"});
    const std::string sheet = sstCell(0, 0, 0) + sstCell(1, 0, 1);
    // The stream fills sectors 0 to 9; the FAT's first sector and the directory's are in the header.
    const std::string large = xlsFile(strings + record(0x99, std::string(5000, 'x')), {{sheet}});
    const std::size_t fat = (u32At(large, 0x4C) + 1) * 512;
    const std::size_t directory = (u32At(large, 0x30) + 1) * 512;
    const std::string small = xlsFile(strings, {{sheet}});
    const std::size_t miniFat = (u32At(small, 0x3C) + 1) * 512;
    struct Case {
        const char* name;
        std::string file;
        Problem problem;
        const char* detail = "";
    };
    const std::string label = byteLabel(0, 0, "x");
    const std::string velvet = fixture("xls_default_password.xls");
    const std::string velvetKey = le(method1::CreateXorKey("VelvetSweatshop"), 2);
    const std::size_t verifier = velvet.find(std::string_view("\x2F\0\x36\0\x01\0\x01\0\x01\0", 10)) + 26;
    const Case cases[] = {
        {"Excel 95 in code page 0", xlsFile(codePage(0), {{label}}, true), Problem::OtherSpreadsheet,
         "代码页 0 "},
        {"Excel 95 in Japanese", xlsFile(codePage(932), {{label}}, true), Problem::OtherSpreadsheet,
         "代码页 932（日文）"},
        {"Excel 95 FILEPASS", xlsFile(record(0x002F, le(0, 6)), {{label}}, true), Problem::Encrypted,
         "5.0/95"},
        {"Excel 95 FILEPASS of the default key, another verifier",
         xlsFile(record(0x002F, velvetKey + le(0x9A0B, 2)), {{label}}, true), Problem::Encrypted, "5.0/95"},
        {"Excel 95 FILEPASS cut short", xlsFile(record(0x002F, velvetKey), {{label}}, true),
         Problem::Encrypted, "5.0/95"},
        {"Excel 95 label longer than its record",
         xlsFile("", {{record(0x0204, cellHead(0, 0) + le(4, 2) + "abc")}}, true), Problem::Damaged,
         "Book 数据流"},
        {"Excel 95 record longer than its stream", xlsFile("", {{le(0x0204, 2) + le(900, 2) + "x"}}, true),
         Problem::Damaged, "Book 数据流"},
        {"Excel 95 cell past the last column", xlsFile("", {{byteLabel(0, 0xFFFF, "x")}}, true),
         Problem::Damaged},
        {"Excel 2.1 sheet", record(0x0009, le(2, 2) + le(0x10, 2)), Problem::OtherSpreadsheet, "Excel 2.1"},
        {"Excel 3.0 sheet", record(0x0209, le(3, 2) + le(0x10, 2) + le(0, 2)), Problem::OtherSpreadsheet,
         "3.0"},
        {"Excel 4.0 sheet", record(0x0409, le(4, 2) + le(0x10, 2) + le(0, 2)), Problem::OtherSpreadsheet,
         "4.0"},
        {"FILEPASS", xlsFile(record(0x002F, le(1, 6)), {{sheet}}), Problem::Encrypted},
        {"FILEPASS of XOR obfuscation, the default key, another verifier",
         xlsFile(record(0x002F, le(0, 2) + velvetKey + le(0x9A0B, 2)), {{sheet}}), Problem::Encrypted,
         "（.xls，XOR 混淆）"},
        {"FILEPASS of XOR obfuscation cut short", xlsFile(record(0x002F, le(0, 2) + velvetKey), {{sheet}}),
         Problem::Encrypted, "（.xls，XOR 混淆）"},
        {"FILEPASS of another password", patched(velvet, verifier, 0), Problem::Encrypted},
        {"FILEPASS of CryptoAPI and the default password", cryptoApiWorkbook(false), Problem::Empty},
        {"FILEPASS of CryptoAPI and another password", cryptoApiWorkbook(true), Problem::Encrypted,
         "CryptoAPI"},
        {"FILEPASS of CryptoAPI cut short",
         xlsFile(record(0x002F, le(1, 2) + le(4, 2) + le(2, 2)), {{sheet}}), Problem::Encrypted, "CryptoAPI"},
        {"password-protected .xlsx", compoundFile({{"EncryptionInfo", "i"}, {"EncryptedPackage", "p"}}),
         Problem::Encrypted},
        {"Word document", compoundFile({{"WordDocument", "w"}}), Problem::NotASpreadsheet},
        {"WPS spreadsheet without a workbook", compoundFile({{"ETDocument", "e"}}),
         Problem::OtherSpreadsheet},
        {"no visible sheet holding a value", xlsFile(strings, {{sheet, 1}, {""}}), Problem::Empty},
        {"FAT chain looping", patched(large, fat + 4, 0), Problem::Damaged},
        {"FAT chain leaving the file", patched(large, fat, 0x00FFFFFF), Problem::Damaged},
        {"mini FAT chain looping", patched(small, miniFat, 0), Problem::Damaged},
        {"FAT sector count overflowing", patched(large, 0x2C, 0xFFFFFFFF), Problem::Damaged},
        {"stream size overflowing", patched(large, directory + 128 + 0x78, 0xFFFFFFF0), Problem::Damaged},
        {"directory tree looping", patched(large, directory + 128 + 0x48, 1), Problem::Damaged},
        {"file cut short", large.substr(0, 3000), Problem::Damaged},
        {"stream shorter than its records",
         compoundFile({{"Workbook", workbookStream(strings, {{sheet}}).substr(0, 90)}}), Problem::Damaged},
        {"record longer than its stream", xlsFile("", {{le(0x99, 2) + le(1000, 2) + "x"}}), Problem::Damaged},
        {"string longer than the SST",
         xlsFile(record(0xFC, le(1, 4) + le(1, 4) + le(50, 2) + le(0, 1) + "abc"), {{sheet}}),
         Problem::Damaged},
        {"SST index out of range", xlsFile(strings, {{sstCell(0, 0, 2)}}), Problem::Damaged},
        {"CONTINUE with no record before it", xlsFile(record(0x3C, "xy") + strings, {{sheet}}),
         Problem::Damaged},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        TextSink sink;
        try {
            readWorkbook(entry.file, sink);
            ADD_FAILURE() << "read";
        } catch (const ReadError& error) {
            EXPECT_EQ(entry.problem, error.problem()) << error.detail();
            EXPECT_NE(std::string::npos, error.detail().find(entry.detail)) << error.detail();
        }
    }
}

} // namespace
} // namespace brisquel::sheets
