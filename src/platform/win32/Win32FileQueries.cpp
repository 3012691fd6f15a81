#include "platform/win32/Handle.h"
#include "platform/win32/OpenFile.h"
#include "platform/Native.h"

#include <vector>
#include <windows.h>

namespace platform {
namespace {

using win32::Handle;

FileTime fileTime(const FILETIME& time) {
    return static_cast<FileTime>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

std::int64_t fileSize(DWORD high, DWORD low) { return static_cast<std::int64_t>(high) << 32 | low; }

// Version resources live only in executables and libraries, which start with "MZ".
bool mayHoldVersion(HANDLE file, std::int64_t size) {
    char magic[2] = {};
    DWORD count = 0;
    return size >= 64 && ReadFile(file, magic, sizeof magic, &count, nullptr) && count == 2 && magic[0] == 'M' &&
           magic[1] == 'Z';
}

VersionResource readVersion(const std::wstring& path, FixedVersion& fixed) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return VersionResource::none;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return VersionResource::none;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO)) {
        return VersionResource::withoutFixedBlock;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    fixed = {info->dwFileVersionMS, info->dwFileVersionLS, info->dwProductVersionMS, info->dwProductVersionLS};
    return VersionResource::withFixedBlock;
}

// The version is read by path while the file is held open, so the path still
// leads to the file that was examined.
FileExamination examineFile(const std::wstring& path) {
    ErrorCode failure = error::success;
    const Handle file(win32::openFileOnVolume(path, failure));
    if (!file.valid()) return FileExamination::failed(failure);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) return FileExamination::failed(GetLastError());
    FileExamination examination;
    examination.times = {fileTime(information.ftLastWriteTime), fileTime(information.ftCreationTime)};
    examination.size = fileSize(information.nFileSizeHigh, information.nFileSizeLow);
    if (mayHoldVersion(file.get(), examination.size)) examination.version = readVersion(path, examination.fixed);
    return examination;
}

class Win32DirectoryListing final : public DirectoryListing {
public:
    explicit Win32DirectoryListing(const std::wstring& prefix)
        : search_(FindFirstFileExW((prefix + L"*").c_str(), FindExInfoBasic, &found_, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH)),
          pending_(search_ != INVALID_HANDLE_VALUE) {
        // Only a drive root without entries has nothing to list; any other failure is one.
        if (!pending_ && GetLastError() != ERROR_FILE_NOT_FOUND) failure_ = GetLastError();
        // The directory itself, for its times and for telling links to it apart.
        const Handle directory(CreateFileW(prefix.c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (directory.valid() && GetFileInformationByHandle(directory.get(), &information)) {
            ownTimes_ = FileTimes{fileTime(information.ftLastWriteTime), fileTime(information.ftCreationTime)};
            identity_ = DirectoryIdentity{information.dwVolumeSerialNumber,
                                          static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 |
                                              information.nFileIndexLow};
        }
    }
    Win32DirectoryListing(const Win32DirectoryListing&) = delete;
    Win32DirectoryListing& operator=(const Win32DirectoryListing&) = delete;
    ~Win32DirectoryListing() override {
        if (search_ != INVALID_HANDLE_VALUE) FindClose(search_);
    }

    bool next(DirectoryEntry& entry) override {
        if (!pending_) return false;
        entry.name = found_.cFileName;
        entry.isDirectory = (found_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.times = {fileTime(found_.ftLastWriteTime), fileTime(found_.ftCreationTime)};
        entry.isLink = (found_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        pending_ = FindNextFileW(search_, &found_) != 0;
        if (!pending_ && GetLastError() != ERROR_NO_MORE_FILES) failure_ = GetLastError();
        return true;
    }

    FileExamination examineEntry(const std::wstring& path) override { return examineFile(path); }
    // Links are never entered, so the path leads where the listing pointed.
    std::unique_ptr<DirectoryListing> listEntry(const std::wstring& prefix) override {
        return std::make_unique<Win32DirectoryListing>(prefix);
    }
    ErrorCode failure() const override { return failure_; }
    std::optional<FileTimes> ownTimes() const override { return ownTimes_; }
    std::optional<DirectoryIdentity> identity() const override { return identity_; }

private:
    WIN32_FIND_DATAW found_{};
    HANDLE search_;
    bool pending_;
    ErrorCode failure_ = error::success;
    std::optional<FileTimes> ownTimes_;
    std::optional<DirectoryIdentity> identity_;
};

class Win32FileQueries final : public FileQueries {
public:
    bool isDirectory(const std::wstring& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    ErrorCode openForReading(const std::wstring& path) override {
        ErrorCode failure = error::success;
        const Handle file(win32::openFileOnVolume(path, failure));
        return failure;
    }

    FileExamination examine(const std::wstring& path) override { return examineFile(path); }

    std::unique_ptr<DirectoryListing> list(const std::wstring& directoryPrefix) override {
        return std::make_unique<Win32DirectoryListing>(directoryPrefix);
    }
};

}  // namespace

FileQueries& nativeFileQueries() {
    static Win32FileQueries queries;
    return queries;
}

}  // namespace platform
