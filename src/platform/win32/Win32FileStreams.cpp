#include "platform/Native.h"
#include "platform/win32/OpenFile.h"
#include "platform/win32/OwnFiles.h"
#include "text/AsciiCase.h"

#include <string_view>
#include <windows.h>

namespace platform {
namespace {

// True when the path leads into the device namespace rather than to a file on a
// volume: "\\.\", "\\?\" other than a drive, volume or UNC path, the reserved
// device names (CON, COM1, NUL and the like, which the full path shows as
// "\\.\NAME"), and the pipes and mailslots of a server ("\\host\pipe\name").
bool namesDevice(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return false;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    full = text::upperAscii(full);
    std::wstring_view rest = full;
    if (rest.starts_with(L"\\\\.\\")) return true;
    if (rest.starts_with(L"\\\\?\\")) {
        rest.remove_prefix(4);
        const bool drive = rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\';
        if (drive || rest.starts_with(L"VOLUME{")) return false;
        if (!rest.starts_with(L"UNC\\")) return true;
        rest.remove_prefix(4);
    } else if (rest.starts_with(L"\\\\")) {
        rest.remove_prefix(2);
    } else {
        return false;
    }
    const std::size_t share = rest.find(L'\\');
    if (share == std::wstring_view::npos) return false;
    rest.remove_prefix(share + 1);
    return rest.starts_with(L"PIPE\\") || rest.starts_with(L"MAILSLOT\\");
}

std::uint64_t joined(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }
std::uint64_t joined(const FILETIME& time) { return joined(time.dwHighDateTime, time.dwLowDateTime); }

class Win32FileStream final : public FileStream {
public:
    explicit Win32FileStream(HANDLE file) : file_(file) {}
    Win32FileStream(const Win32FileStream&) = delete;
    Win32FileStream& operator=(const Win32FileStream&) = delete;
    ~Win32FileStream() override { close(); }

    ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        DWORD count = 0;
        const BOOL done = ReadFile(file_, data, size, &count, nullptr);
        processed = count;
        return done ? error::success : GetLastError();
    }

    ErrorCode write(const void* data, std::uint32_t size, std::uint32_t& processed) override {
        DWORD count = 0;
        const BOOL done = WriteFile(file_, data, size, &count, nullptr);
        processed = count;
        return done ? error::success : GetLastError();
    }

    ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override {
        if (origin > fromEnd) return error::invalidParameter;
        LARGE_INTEGER distance{};
        distance.QuadPart = offset;
        LARGE_INTEGER position{};
        if (!SetFilePointerEx(file_, distance, &position, origin)) return GetLastError();
        newPosition = static_cast<std::uint64_t>(position.QuadPart);
        return error::success;
    }

    // The position is kept, as a stream's size change leaves it where it was.
    ErrorCode setSize(std::uint64_t size) override {
        std::uint64_t position = 0;
        std::uint64_t ignored = 0;
        if (const ErrorCode error = seek(0, fromCurrent, position)) return error;
        if (const ErrorCode error = seek(static_cast<std::int64_t>(size), fromBegin, ignored)) return error;
        const ErrorCode result = SetEndOfFile(file_) ? error::success : GetLastError();
        seek(static_cast<std::int64_t>(position), fromBegin, ignored);
        return result;
    }

    ErrorCode size(std::uint64_t& size) override {
        LARGE_INTEGER bytes{};
        if (!GetFileSizeEx(file_, &bytes)) return GetLastError();
        size = static_cast<std::uint64_t>(bytes.QuadPart);
        return error::success;
    }

    ErrorCode close() override {
        if (file_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        const BOOL closed = CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        return closed ? error::success : GetLastError();
    }

private:
    HANDLE file_;
};

class Win32FileStreams final : public FileStreams {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) override {
        return win32::openFileStreamForReading(path, error);
    }

    std::unique_ptr<FileStream> createForWriting(const std::wstring& path, ErrorCode& error) override {
        return win32::openFileStream(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                     FILE_FLAG_OPEN_REPARSE_POINT, error);
    }

    ErrorCode replaceFile(const std::wstring& source, const std::wstring& target) override {
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? error::success
                   : GetLastError();
    }

    void removeFile(const std::wstring& path) override { DeleteFileW(path.c_str()); }

    bool isDirectory(const std::wstring& path) const override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::vector<ListedEntry> list(const std::wstring& pattern) const override {
        std::vector<ListedEntry> entries;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return entries;
        do {
            entries.push_back(ListedEntry{found.cFileName, joined(found.ftCreationTime),
                                          joined(found.ftLastAccessTime), joined(found.ftLastWriteTime),
                                          joined(found.nFileSizeHigh, found.nFileSizeLow), found.dwFileAttributes});
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return entries;
    }

    wchar_t separator() const override { return L'\\'; }
};

}  // namespace

namespace win32 {

std::unique_ptr<FileStream> openFileStream(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                           DWORD flags, ErrorCode& error) {
    HANDLE file =
        CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    // Only files on disk: a pipe or device under the name could stall the run.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return streamOf(file);
}

std::unique_ptr<FileStream> streamOf(HANDLE file) { return std::make_unique<Win32FileStream>(file); }

bool attributesOf(HANDLE file, DWORD& attributes) {
    FILE_ATTRIBUTE_TAG_INFO information{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &information, sizeof information)) return false;
    attributes = information.FileAttributes;
    return true;
}

HANDLE openFileOnVolume(const std::wstring& path, ErrorCode& error) {
    if (namesDevice(path)) {
        error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return file;
    }
    constexpr DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    DWORD attributes = 0;
    if (GetFileType(file) != FILE_TYPE_DISK || !attributesOf(file, attributes) || (attributes & notAFile) != 0) {
        CloseHandle(file);
        error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // The run's own files are not there for its requests: reading its own growing output would never end.
    if (own_files::holds(file)) {
        CloseHandle(file);
        error = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

std::unique_ptr<FileStream> openFileStreamForReading(const std::wstring& path, ErrorCode& error) {
    HANDLE file = openFileOnVolume(path, error);
    return file == INVALID_HANDLE_VALUE ? nullptr : streamOf(file);
}

}  // namespace win32

FileStreams& nativeFileStreams() {
    static Win32FileStreams streams;
    return streams;
}

}  // namespace platform
