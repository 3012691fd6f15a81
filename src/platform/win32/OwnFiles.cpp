#include "platform/win32/OwnFiles.h"

#include <ntsecapi.h>

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
    std::wstring path;
    Identity identity;
};

// Held while a file is created, renamed or removed, so the clean-up never sees
// a file half way: one created but not yet listed, or one listed but already published.
std::mutex guard;
std::vector<Entry> entries;

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

void forget(const std::wstring& path) {
    std::erase_if(entries, [&](const Entry& entry) { return entry.path == path; });
}

}  // namespace

HANDLE create(const std::wstring& directory, std::wstring& path) {
    const std::lock_guard lock(guard);
    for (;;) {
        path = directory + privateName();
        // Nobody else opens it while the run holds it; deleting stays possible, so the clean-up can remove it.
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (file == INVALID_HANDLE_VALUE) return file;
        Entry entry{path, {}};
        identify(file, entry.identity);
        entries.push_back(entry);
        return file;
    }
}

BOOL publish(const std::wstring& path, const std::wstring& target, bool replace) {
    const std::lock_guard lock(guard);
    const BOOL moved =
        MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0));
    if (moved) forget(path);
    return moved;
}

void keep(const std::wstring& path) {
    const std::lock_guard lock(guard);
    forget(path);
}

void remove(const std::wstring& path) {
    const std::lock_guard lock(guard);
    DeleteFileW(path.c_str());
    forget(path);
}

bool holds(HANDLE file) {
    Identity identity;
    if (!identify(file, identity)) return false;
    const std::lock_guard lock(guard);
    for (const Entry& entry : entries) {
        if (entry.identity == identity) return true;
    }
    return false;
}

void removeAll() {
    guard.lock();  // never given back: the process ends next
    for (const Entry& entry : entries) DeleteFileW(entry.path.c_str());
}

}  // namespace platform::win32::own_files
