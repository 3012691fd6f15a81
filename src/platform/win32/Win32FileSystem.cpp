#include "platform/win32/Handle.h"
#include "platform/Native.h"

#include <windows.h>

namespace platform {
namespace {

using win32::Handle;

class Win32FileSystem final : public FileSystem {
public:
    bool exists(const std::wstring& path) const override {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    void removeFile(const std::wstring& path) override { DeleteFileW(path.c_str()); }

    std::optional<std::string> readFile(const std::wstring& path) const override {
        Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
        std::string content;
        char buffer[1 << 16];
        DWORD count = 0;
        while (ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr) && count > 0) content.append(buffer, count);
        return content;
    }

    bool writeFile(const std::wstring& path, const std::string& bytes) override {
        Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return false;
        for (std::size_t written = 0; written < bytes.size();) {
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 24));
            DWORD count = 0;
            if (!WriteFile(file.get(), bytes.data() + written, chunk, &count, nullptr) || count == 0) break;
            written += count;
        }
        return true;
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
