#include "platform/Native.h"
#include "platform/win32/Handle.h"
#include "platform/win32/OpenFile.h"
#include "platform/win32/OwnFiles.h"

#include <windows.h>
#include <shlobj.h>

namespace platform {
namespace {

namespace own_files = win32::own_files;

class Win32Folder final : public OwnFolder {
public:
    Win32Folder(std::wstring path, HANDLE folder) : path_(std::move(path)), folder_(folder) {}

    const std::wstring& path() const override { return path_; }

    // Windows itself takes "." and ".." as names of the path, so the path tells where the folder is.
    std::wstring location() const override {
        const std::wstring named = path_.empty() ? L"." : path_;
        const DWORD size = GetFullPathNameW(named.c_str(), 0, nullptr, nullptr);
        if (size == 0) return path_;
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(named.c_str(), size, full.data(), nullptr);
        if (length == 0 || length >= size) return path_;
        full.resize(length);
        return full.ends_with(L'\\') ? full : full + L'\\';
    }

    ErrorCode checkName(const std::wstring& name) const override {
        DWORD longest = MAX_PATH - 5;
        GetVolumeInformationByHandleW(folder_.get(), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0);
        return name.size() > longest ? ERROR_FILENAME_EXCED_RANGE : error::success;
    }

    OwnFile createOwn(ErrorCode& error) override {
        std::wstring name;
        HANDLE file = own_files::create(folder_.get(), name);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return {};
        }
        return {win32::streamOf(file), name};
    }

    ErrorCode publishOwn(const std::wstring& name, const std::wstring& target, bool replace) override {
        if (own_files::publish(folder_.get(), name, target, replace)) return error::success;
        const ErrorCode failure = GetLastError();
        return failure == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : failure;
    }

    ErrorCode publishResult(const std::wstring& name, const std::wstring& target) override {
        return own_files::publishResult(folder_.get(), name, target) ? error::success : GetLastError();
    }

    void keepOwn(const std::wstring& name) override { own_files::keep(folder_.get(), name); }
    void removeOwn(const std::wstring& name) override { own_files::remove(folder_.get(), name); }

private:
    const std::wstring path_;
    const win32::Handle folder_;
};

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return win32::openFileStreamForReading(path, error);
    }

    std::unique_ptr<FileStream> openPrivate(const std::wstring& path, ErrorCode& error) const override {
        return win32::openFileStreamForReading(path, error);
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

    std::unique_ptr<OwnFolder> openFolder(const std::wstring& directory, ErrorCode& error) override {
        // Without sharing deletion the folder can be neither renamed nor removed while the run holds it.
        HANDLE folder = CreateFileW(directory.empty() ? L"." : directory.c_str(),
                                    FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return nullptr;
        }
        return std::make_unique<Win32Folder>(directory, folder);
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
