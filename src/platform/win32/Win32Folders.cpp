#include "platform/Native.h"
#include "platform/win32/Handle.h"
#include "platform/win32/OpenFile.h"

#include <windows.h>

#include <cstdint>
#include <vector>

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

    // Read through the held handle: the folder listed is the one held, whatever its path names now.
    bool entries(std::vector<ListedEntry>& found, ErrorCode& error) override {
        std::vector<std::uint64_t> records(8 * 1024);  // 64 KiB, aligned as the records need
        for (FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;; kind = FileFullDirectoryInfo) {
            if (!GetFileInformationByHandleEx(folder_.get(), kind, records.data(),
                                              static_cast<DWORD>(records.size() * sizeof records[0]))) {
                error = GetLastError();
                // An empty listing: the end, or no entry at all where a folder lacks "." and "..".
                return error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND;
            }
            for (const auto* at = reinterpret_cast<const unsigned char*>(records.data());;) {
                const auto* record = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
                const std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
                if (name != L"." && name != L"..") found.push_back(ListedEntry{name, 0, 0, 0, 0, record->FileAttributes});
                if (record->NextEntryOffset == 0) break;
                at += record->NextEntryOffset;
            }
        }
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

    // Handles are many; reopening a folder is the dearer part (a round trip to the server under Wine).
    std::size_t holdable() const override { return 4096; }
};

}  // namespace

Folders& nativeFolders() {
    static Win32Folders folders;
    return folders;
}

}  // namespace platform
