#include "platform/win32/OwnFiles.h"

#include "platform/win32/Handle.h"

#include <ntsecapi.h>
#include <winternl.h>

#include <mutex>
#include <vector>

namespace platform::win32::own_files {
namespace {

struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const Identity&) const = default;
};

struct Entry {
    HANDLE folder;
    std::wstring name;
    Identity identity;
};

// Held while a file is created, renamed or removed, so the clean-up never sees
// a file half way: one created but not yet listed, or one listed but already published.
std::mutex guard;
std::vector<Entry> entries;
// Set with the rename that put the run's result in place, under the same guard.
bool resultInPlace = false;

bool identify(HANDLE file, Identity& identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

std::wstring privateName() {
    unsigned char bytes[16] = {};
    RtlGenRandom(bytes, sizeof bytes);
    std::wstring name = L"tavisk-";
    for (const unsigned char byte : bytes) {
        static constexpr wchar_t digits[] = L"0123456789abcdef";
        name += digits[byte >> 4];
        name += digits[byte & 15];
    }
    return name + L".tmp";
}

// Opens or creates a name in the folder by the folder's handle: the path the
// folder was named by is never looked at again. Never through a reparse point.
HANDLE openIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG sharing, ULONG disposition) {
    UNICODE_STRING objectName{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                              static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.c_str())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE file = INVALID_HANDLE_VALUE;
    const NTSTATUS result =
        NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, sharing,
                     disposition, FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                     nullptr, 0);
    if (result >= 0) return file;
    SetLastError(RtlNtStatusToDosError(result));
    return INVALID_HANDLE_VALUE;
}

// The file under the name, opened for renaming or deleting, when it is still
// the one the run created: whoever may write to the folder could have put
// another there meanwhile.
HANDLE openOwn(HANDLE folder, const std::wstring& name) {
    HANDLE file = openIn(folder, name, DELETE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN);
    if (file == INVALID_HANDLE_VALUE) return file;
    Identity identity;
    for (const Entry& entry : entries) {
        if (entry.folder == folder && entry.name == name && identify(file, identity) && entry.identity == identity) {
            return file;
        }
    }
    CloseHandle(file);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

void removeOwn(HANDLE folder, const std::wstring& name) {
    const Handle file(openOwn(folder, name));
    if (!file.valid()) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
}

void forget(HANDLE folder, const std::wstring& name) {
    std::erase_if(entries, [&](const Entry& entry) { return entry.folder == folder && entry.name == name; });
}

BOOL renameOwn(HANDLE folder, const std::wstring& name, const std::wstring& target, bool replace) {
    const Handle file(openOwn(folder, name));
    if (!file.valid()) return FALSE;
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    // Straight to the system: the Win32 call would take the name as a path from the current folder.
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = NtSetInformationFile(file.get(), &status, rename, static_cast<ULONG>(buffer.size()),
                                                 FileRenameInformation);
    if (result < 0) {
        SetLastError(RtlNtStatusToDosError(result));
        return FALSE;
    }
    forget(folder, name);
    return TRUE;
}

}  // namespace

HANDLE create(HANDLE folder, std::wstring& name) {
    const std::lock_guard lock(guard);
    for (;;) {
        name = privateName();
        // Nobody else opens it while the run holds it; deleting stays possible, so the clean-up can remove it.
        HANDLE file = openIn(folder, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, FILE_CREATE);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (file == INVALID_HANDLE_VALUE) return file;
        Entry entry{folder, name, {}};
        identify(file, entry.identity);
        entries.push_back(entry);
        return file;
    }
}

BOOL publish(HANDLE folder, const std::wstring& name, const std::wstring& target, bool replace) {
    const std::lock_guard lock(guard);
    return renameOwn(folder, name, target, replace);
}

BOOL publishResult(HANDLE folder, const std::wstring& name, const std::wstring& target) {
    const std::lock_guard lock(guard);
    resultInPlace = renameOwn(folder, name, target, true);
    return resultInPlace;
}

void keep(HANDLE folder, const std::wstring& name) {
    const std::lock_guard lock(guard);
    forget(folder, name);
}

void remove(HANDLE folder, const std::wstring& name) {
    const std::lock_guard lock(guard);
    removeOwn(folder, name);
    forget(folder, name);
}

bool holds(HANDLE file) {
    const std::lock_guard lock(guard);
    // Most runs create no file: then the file's identity, a slow question under Wine, is never asked.
    if (entries.empty()) return false;
    Identity identity;
    if (!identify(file, identity)) return false;
    for (const Entry& entry : entries) {
        if (entry.identity == identity) return true;
    }
    return false;
}

bool removeAll() {
    guard.lock();  // never given back: the process ends next
    for (const Entry& entry : entries) removeOwn(entry.folder, entry.name);
    return resultInPlace;
}

}  // namespace platform::win32::own_files
