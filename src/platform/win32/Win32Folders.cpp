#include "platform/Native.h"
#include "platform/win32/Handle.h"
#include "platform/win32/OpenFile.h"

#include <windows.h>

namespace platform {
namespace {

using win32::Handle;

// Held open without sharing deletion, a folder cannot be renamed or replaced
// while it is searched, so its path keeps leading to it.
HANDLE openFolderHandle(const std::wstring& path, bool followLink, ErrorCode& error) {
    HANDLE folder = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    DWORD attributes = 0;
    if (folder == INVALID_HANDLE_VALUE || !win32::attributesOf(folder, attributes)) {
        error = GetLastError();
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = ERROR_PATH_NOT_FOUND;
    } else {
        return folder;
    }
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L'\\' + name;
}

class Win32OpenFolder final : public OpenFolder {
public:
    Win32OpenFolder(std::wstring path, HANDLE folder) : path_(std::move(path)), folder_(folder) {}

    bool entries(std::vector<ListedEntry>& found, ErrorCode& error) override {
        WIN32_FIND_DATAW item{};
        HANDLE search = FindFirstFileExW(joined(path_, L"*").c_str(), FindExInfoBasic, &item, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND;
        }
        do {
            const std::wstring name = item.cFileName;
            if (name != L"." && name != L"..") found.push_back(ListedEntry{name, 0, 0, 0, 0, item.dwFileAttributes});
        } while (FindNextFileW(search, &item));
        error = GetLastError();
        FindClose(search);
        return error == ERROR_NO_MORE_FILES;
    }

    std::unique_ptr<OpenFolder> folder(const std::wstring& name, ErrorCode& error) override {
        const std::wstring path = joined(path_, name);
        HANDLE inner = openFolderHandle(path, false, error);
        return inner == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<Win32OpenFolder>(path, inner);
    }

    // A link is opened as itself, never followed.
    std::unique_ptr<FileStream> file(const std::wstring& name, ErrorCode& error) override {
        return win32::openFileStreamForReading(joined(path_, name), error);
    }

private:
    const std::wstring path_;
    const Handle folder_;
};

class Win32Folders final : public Folders {
public:
    std::unique_ptr<OpenFolder> open(const std::wstring& path, ErrorCode& error) override {
        HANDLE folder = openFolderHandle(path, true, error);
        return folder == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<Win32OpenFolder>(path, folder);
    }
};

}  // namespace

Folders& nativeFolders() {
    static Win32Folders folders;
    return folders;
}

}  // namespace platform
