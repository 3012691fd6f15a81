#include "platform/Native.h"

#include <windows.h>

#include <algorithm>
#include <bit>

namespace platform {
namespace {

constexpr DWORD nameCharacters = 260;
constexpr DWORD firstPathListCharacters = 261;

class Win32Volumes final : public Volumes {
public:
    ErrorCode visitLimit(std::uint32_t& limit) override {
        const DWORD drives = GetLogicalDrives();
        if (drives == 0) return GetLastError();
        limit = static_cast<std::uint32_t>(std::popcount(drives));
        return error::success;
    }

    ErrorCode firstVolume(std::wstring& name) override {
        wchar_t buffer[nameCharacters] = {};
        search_ = FindFirstVolumeW(buffer, nameCharacters);
        if (search_ == INVALID_HANDLE_VALUE) return GetLastError();
        name = buffer;
        return error::success;
    }

    ErrorCode nextVolume(std::wstring& name) override {
        wchar_t buffer[nameCharacters] = {};
        if (!FindNextVolumeW(search_, buffer, nameCharacters)) return GetLastError();
        name = buffer;
        return error::success;
    }

    void endVolumes() override {
        if (search_ != INVALID_HANDLE_VALUE) FindVolumeClose(search_);
        search_ = INVALID_HANDLE_VALUE;
    }

    ErrorCode devicePath(const std::wstring& volume, std::wstring& device) override {
        wchar_t buffer[nameCharacters] = {};
        if (QueryDosDeviceW(volume.c_str(), buffer, nameCharacters) == 0) return GetLastError();
        device = buffer;
        return error::success;
    }

    ErrorCode mountPaths(const std::wstring& volume, std::vector<std::wstring>& paths) override {
        std::wstring list(firstPathListCharacters, L'\0');
        DWORD needed = 0;
        while (!GetVolumePathNamesForVolumeNameW(volume.c_str(), list.data(), static_cast<DWORD>(list.size()),
                                                 &needed)) {
            const DWORD failed = GetLastError();
            if (failed != ERROR_MORE_DATA) return failed;
            list.assign(std::max<std::size_t>(needed, list.size() * 2), L'\0');
        }
        for (const wchar_t* path = list.c_str(); *path; path += wcslen(path) + 1) paths.emplace_back(path);
        return error::success;
    }

    ErrorCode space(const std::wstring& mountPath, SpaceFigures& figures) override {
        ULARGE_INTEGER freeToCaller{}, total{};
        if (!GetDiskFreeSpaceExW(mountPath.c_str(), &freeToCaller, &total, nullptr)) return GetLastError();
        figures = {freeToCaller.QuadPart, total.QuadPart};
        return error::success;
    }

private:
    HANDLE search_ = INVALID_HANDLE_VALUE;
};

}  // namespace

Volumes& nativeVolumes() {
    static Win32Volumes volumes;
    return volumes;
}

}  // namespace platform
