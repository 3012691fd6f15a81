#include "platform/Native.h"
#include "platform/win32/OpenFile.h"

#include <windows.h>

namespace platform {
namespace {

class Win32FileSystem final : public FileSystem {
public:
    bool exists(const std::wstring& path) const override {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool isLink(const std::wstring& path) const override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }

    void removeFile(const std::wstring& path) override { DeleteFileW(path.c_str()); }

    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return win32::openFileStreamForReading(path, error);
    }

    // Opening the reparse point itself keeps CREATE_NEW from creating a dangling link's target.
    std::unique_ptr<FileStream> createNew(const std::wstring& path, ErrorCode& error) override {
        auto file = win32::openFileStream(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                          FILE_FLAG_OPEN_REPARSE_POINT, error);
        if (!file && error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
        return file;
    }

    wchar_t separator() const override { return L'\\'; }
    bool ignoresCase() const override { return true; }
};

}  // namespace

FileSystem& nativeFileSystem() {
    static Win32FileSystem files;
    return files;
}

}  // namespace platform
