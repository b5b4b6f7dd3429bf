// Reading a whole file through the system's own calls, with its reason when that fails.
#include "sheets/file_bytes.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <limits>
#include <new>

namespace brisquel::sheets {

namespace {

constexpr std::string_view folderReason = "这是一个文件夹，不是文件";

} // namespace

#ifdef _WIN32

namespace {

std::wstring widen(std::string_view utf8) {
    std::wstring wide(utf8.size(), L'\0');
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                         static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(size, 0)));
    return wide;
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
    std::string reason(text.size() * 3, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           reason.data(), static_cast<int>(reason.size()), nullptr, nullptr);
    reason.resize(static_cast<std::size_t>(std::max(length, 0)));
    return reason;
}

} // namespace

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

} // namespace brisquel::sheets
