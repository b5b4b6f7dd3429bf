// Export: the file name, the ANSI bytes and the file write, each on its own so that the
// name and the bytes can be checked without a disk; and the whole read of a report file.
#include "export.h"

#include "memory.h"
#include "state.h"
#include "text.h"
#include "unicode/unicode.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <new>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brisquel {

namespace {

constexpr std::string_view folderReason = "这是一个文件夹，不是文件";

} // namespace

LocalTime currentLocalTime() {
    // One reading: six separate readings could straddle midnight and name a moment that
    // never was.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string exportFileName(const LocalTime& time, int copy) {
    std::string name = "导出文件_";
    name += DecimalText(time.year).view();
    name += '-';
    name += DecimalText(time.month).view();
    name += '-';
    name += DecimalText(time.day).view();
    name += '_';
    name += DecimalText(time.hour).view();
    name += DecimalText(time.minute).view();
    name += DecimalText(time.second).view();
    if (copy > 1) {
        name += " (";
        name += DecimalText(copy).view();
        name += ')';
    }
    name += ".txt";
    return name;
}

bool canExport(const TallyState& state) {
    return !state.allouttxt().empty();
}

ExportResult exportList(const TallyState& state, std::string_view folder, const LocalTime& time) {
    const std::string bytes = toAnsi(state.allouttxt());
    // The time part has no leading zeros, so different moments of one day can share a
    // name (1:11:01 and 11:01:01); an earlier export is never replaced.
    for (int copy = 1;; ++copy) {
        std::string path(folder);
        path += pathSeparator;
        path += exportFileName(time, copy);
        WriteResult written = writeNewFile(path, bytes);
        if (!written.exists)
            return {std::move(path), std::move(written.error)};
    }
}

#ifdef _WIN32

namespace {

std::wstring widen(std::string_view utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(utf8ToUtf16(utf8, wide.data()) - wide.data()));
    return wide;
}

std::string narrow(std::wstring_view wide) {
    std::string bytes(wide.size() * 3 + utf16ToUtf8Slack, '\0');
    bytes.resize(static_cast<std::size_t>(utf16ToUtf8(wide, false, bytes.data()) - bytes.data()));
    return bytes;
}

std::string toCodePage(std::wstring_view wide, UINT codePage) {
    std::string bytes;
    if (wide.empty())
        return bytes;
    const int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::string systemReason(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer, size);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return narrow(text);
}

} // namespace

std::string programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (size < path.size()) {
            path.resize(size);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return narrow(slash == std::wstring::npos ? path : path.substr(0, slash));
}

std::string toAnsi(std::string_view utf8) {
    // Converted in slices that end on a character boundary, since the API counts in int.
    constexpr std::size_t slice = std::size_t{1} << 24;
    std::string bytes;
    bytes.reserve(utf8.size());
    while (!utf8.empty()) {
        std::size_t size = std::min(slice, utf8.size());
        for (int back = 0;
             back < 3 && size < utf8.size() && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80;
             ++back)
            --size;
        bytes += toCodePage(widen(utf8.substr(0, size)), CP_ACP);
        utf8.remove_prefix(size);
    }
    return bytes;
}

WriteResult writeNewFile(const std::string& path, std::string_view bytes) {
    // Paths go through wide characters: a narrow path would be read in the ANSI code page.
    const std::wstring widePath = widen(path);
    HANDLE file =
        CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return {code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS, systemReason(code)};
    }
    DWORD failure = 0;
    while (!bytes.empty() && failure == 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            failure = GetLastError();
        bytes.remove_prefix(written);
    }
    if (!CloseHandle(file) && failure == 0)
        failure = GetLastError();
    if (failure != 0) {
        DeleteFileW(widePath.c_str());
        return {false, systemReason(failure)};
    }
    return {};
}

FileBytes readWholeFile(const std::string& path) {
    const std::wstring widePath = widen(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {nullptr, 0, std::string(folderReason)};
    const HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {nullptr, 0, systemReason(GetLastError())};
    FileBytes read;
    LARGE_INTEGER size{};
    DWORD failure = 0;
    if (!GetFileSizeEx(file, &size)) {
        failure = GetLastError();
    } else {
        try {
            // A 32-bit program cannot hold a file of 4 GiB or more: its size has no size_t.
            if (static_cast<std::uint64_t>(size.QuadPart) >= SIZE_MAX)
                throw std::bad_alloc();
            read.data.reset(new char[static_cast<std::size_t>(size.QuadPart) + 1]);
        } catch (...) {
            CloseHandle(file);
            throw;
        }
        // A file that grows while it is read is taken as far as its size said.
        while (read.size < static_cast<std::size_t>(size.QuadPart)) {
            const DWORD chunk = static_cast<DWORD>(
                std::min<std::size_t>(static_cast<std::size_t>(size.QuadPart) - read.size, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(file, read.data.get() + read.size, chunk, &got, nullptr)) {
                failure = GetLastError();
                break;
            }
            if (got == 0)
                break;
            read.size += got;
        }
    }
    CloseHandle(file);
    if (failure != 0)
        return {nullptr, 0, systemReason(failure)};
    return read;
}
#else

namespace {

// Code page 936 through iconv, one character at a time and remembered: a report holds a
// few thousand distinct characters, and converting each once keeps the export fast.
class Cp936Encoder {
public:
    Cp936Encoder() : m_iconv(iconv_open("CP936", "UTF-8")), m_bmp(0x10000, unknown) {}
    ~Cp936Encoder() {
        if (m_iconv != invalid())
            iconv_close(m_iconv);
    }
    Cp936Encoder(const Cp936Encoder&) = delete;
    Cp936Encoder& operator=(const Cp936Encoder&) = delete;

    // Appends the bytes for one code point of the Basic Multilingual Plane, or "?".
    void append(std::string& out, std::uint32_t codePoint, std::string_view utf8) {
        std::uint32_t& entry = m_bmp[codePoint];
        if (entry == unknown)
            entry = convert(utf8);
        if (entry == unmappable)
            out += '?';
        else if (entry > 0xFF)
            out.append({static_cast<char>(entry >> 8), static_cast<char>(entry & 0xFF)});
        else
            out += static_cast<char>(entry);
    }

private:
    static constexpr std::uint32_t unknown = 0xFFFFFFFF;
    static constexpr std::uint32_t unmappable = 0xFFFFFFFE;
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

    std::uint32_t convert(std::string_view utf8) {
        if (m_iconv == invalid())
            return unmappable;
        iconv(m_iconv, nullptr, nullptr, nullptr, nullptr);
        char in[4];
        char out[4];
        std::copy(utf8.begin(), utf8.end(), in);
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = utf8.size();
        std::size_t outLeft = sizeof out;
        if (iconv(m_iconv, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            return unmappable;
        const std::size_t size = sizeof out - outLeft;
        if (size == 1)
            return static_cast<unsigned char>(out[0]);
        if (size == 2)
            return static_cast<std::uint32_t>(static_cast<unsigned char>(out[0]) << 8 |
                                              static_cast<unsigned char>(out[1]));
        return unmappable;
    }

    iconv_t m_iconv;
    std::vector<std::uint32_t> m_bmp;
};

} // namespace

std::string programFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path(error).string() : exe.parent_path().string();
}

std::string toAnsi(std::string_view utf8) {
    static Cp936Encoder encoder;
    std::string bytes;
    reserveLarge(bytes, utf8.size()); // no character takes more bytes in code page 936 than in UTF-8
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t ascii = i;
        while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
            ++i;
        bytes.append(utf8.substr(ascii, i - ascii));
        if (i == utf8.size())
            break;
        const DecodedUtf8 c = decodeUtf8(utf8.substr(i));
        // Code page 936 has neither U+FFFD, which each invalid subpart is read as, nor anything
        // outside the Basic Multilingual Plane.
        if (c.code == replacementCharacter || c.code > 0xFFFF)
            bytes += '?';
        else
            encoder.append(bytes, c.code, utf8.substr(i, c.length));
        i += c.length;
    }
    return bytes;
}

WriteResult writeNewFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno == EEXIST, std::strerror(errno)};
    int failure = 0;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failure = errno;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(path.c_str());
        return {false, std::strerror(failure)};
    }
    return {};
}

FileBytes readWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, 0, std::strerror(errno)};
    FileBytes read;
    struct stat status {};
    int failure = 0;
    if (::fstat(fd, &status) != 0) {
        failure = errno;
    } else if (S_ISDIR(status.st_mode)) {
        ::close(fd);
        return {nullptr, 0, std::string(folderReason)};
    } else {
        const auto size = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0));
        try {
            read.data.reset(new char[size + 1]);
        } catch (...) {
            ::close(fd);
            throw;
        }
        adviseHugePages(read.data.get(), size);
        // A file that grows while it is read is taken as far as its size said.
        while (read.size < size) {
            const ssize_t got = ::read(fd, read.data.get() + read.size, size - read.size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                failure = errno;
                break;
            }
            if (got == 0)
                break;
            read.size += static_cast<std::size_t>(got);
        }
    }
    ::close(fd);
    if (failure != 0)
        return {nullptr, 0, std::strerror(failure)};
    return read;
}

#endif

} // namespace brisquel
