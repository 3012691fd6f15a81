#include "platform/Native.h"
#include "platform/win32/OpenFile.h"
#include "platform/win32/OwnFiles.h"

#include <windows.h>
#include <shlobj.h>

namespace platform {
namespace {

namespace own_files = win32::own_files;

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return win32::openFileStreamForReading(path, error);
    }

    std::unique_ptr<FileStream> openPrivate(const std::wstring& path, ErrorCode& error) const override {
        BY_HANDLE_FILE_INFORMATION information{};
        const HANDLE file = win32::openFileOnVolume(path, information, error);
        if (file == INVALID_HANDLE_VALUE) return nullptr;
        auto stream = win32::streamOf(file);
        if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        return stream;
    }

    // The user's roaming application data, which only the user may open.
    std::wstring settingsFolder(ErrorCode& error) override {
        wchar_t base[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base) != S_OK) {
            error = ERROR_PATH_NOT_FOUND;
            return {};
        }
        const std::wstring folder = std::wstring(base) + L"\\Tavisk";
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = GetLastError();
            return {};
        }
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            error = ERROR_ACCESS_DENIED;
            return {};
        }
        return folder + L"\\";
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
