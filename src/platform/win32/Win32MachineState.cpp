#include "platform/Native.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

namespace platform {
namespace {

std::uint64_t fromFileTime(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class Win32MachineState final : public MachineState {
public:
    ErrorCode memoryStatus(MemoryStatus& status) override {
        MEMORYSTATUSEX memory{};
        memory.dwLength = sizeof memory;
        if (!GlobalMemoryStatusEx(&memory)) return GetLastError();
        status = {memory.dwMemoryLoad, memory.ullTotalPhys, memory.ullAvailPhys};
        return error::success;
    }

    // A 64-bit process runs only on a 64-bit system; a 32-bit one asks whether it is emulated.
    bool is64BitSystem() override {
        if constexpr (sizeof(void*) == 8) return true;
        BOOL emulated = FALSE;
        return IsWow64Process(GetCurrentProcess(), &emulated) && emulated;
    }

    std::optional<std::wstring> userLocaleName() override {
        wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
        if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return std::nullopt;
        return std::wstring(name);
    }

    std::uint32_t logicalProcessors() override {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return info.dwNumberOfProcessors;
    }

    ErrorCode processorTimes(ProcessorTimes& times) override {
        FILETIME idle{}, kernel{}, user{};
        if (!GetSystemTimes(&idle, &kernel, &user)) return GetLastError();
        times = {fromFileTime(idle), fromFileTime(kernel), fromFileTime(user)};
        return error::success;
    }

    std::uint64_t uptimeMilliseconds() override { return GetTickCount64(); }

    // The record's size is this build's own: the 64-bit call rejects the 32-bit size.
    std::optional<std::uint32_t> openHandles() override {
        PERFORMANCE_INFORMATION performance{};
        if (!GetPerformanceInfo(&performance, sizeof performance)) return std::nullopt;
        return performance.HandleCount;
    }

    // The identifier buffer grows until the list no longer fills it.
    std::optional<std::uint32_t> runningProcesses() override {
        std::vector<DWORD> identifiers(1024);
        for (;;) {
            const auto bytes = static_cast<DWORD>(identifiers.size() * sizeof(DWORD));
            DWORD used = 0;
            if (!EnumProcesses(identifiers.data(), bytes, &used)) return std::nullopt;
            if (used < bytes) return static_cast<std::uint32_t>(used / sizeof(DWORD));
            identifiers.resize(identifiers.size() * 2);
        }
    }
};

}  // namespace

MachineState& nativeMachineState() {
    static Win32MachineState machine;
    return machine;
}

}  // namespace platform
