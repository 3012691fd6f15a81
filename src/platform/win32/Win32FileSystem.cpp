#include "platform/Native.h"
#include "platform/win32/OpenFile.h"
#include "platform/win32/OwnFiles.h"

#include <windows.h>

namespace platform {
namespace {

namespace own_files = win32::own_files;

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return win32::openFileStreamForReading(path, error);
    }

    OwnFile createOwn(const std::wstring& directory, ErrorCode& error) override {
        std::wstring path;
        HANDLE file = own_files::create(directory, path);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return {};
        }
        return {win32::streamOf(file), path};
    }

    ErrorCode publishOwn(const std::wstring& path, const std::wstring& target, bool replace) override {
        if (own_files::publish(path, target, replace)) return error::success;
        const ErrorCode failure = GetLastError();
        return failure == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : failure;
    }

    void keepOwn(const std::wstring& path) override { own_files::keep(path); }
    void removeOwn(const std::wstring& path) override { own_files::remove(path); }

    std::wstring fullPath(const std::wstring& path) const override {
        const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (size == 0) return path;
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (length == 0 || length >= size) return path;
        full.resize(length);
        return full;
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
