#include "platform/Native.h"
#include "platform/win32/OpenFile.h"
#include "platform/win32/OwnFiles.h"

#include <windows.h>

namespace platform {
namespace {

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
        return win32::openFileStream(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0, error);
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
    // The run's own files are not there for its requests: reading its own growing output would never end.
    if (own_files::holds(file)) {
        CloseHandle(file);
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return streamOf(file);
}

std::unique_ptr<FileStream> streamOf(HANDLE file) { return std::make_unique<Win32FileStream>(file); }

}  // namespace win32

FileStreams& nativeFileStreams() {
    static Win32FileStreams streams;
    return streams;
}

}  // namespace platform
