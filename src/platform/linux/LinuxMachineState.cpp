#include "platform/linux/ErrorMessages.h"
#include "platform/linux/MachineFacts.h"
#include "platform/Native.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform {
namespace {

bool isNumber(const char* name) {
    if (!*name) return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

class LinuxMachineState final : public MachineState {
public:
    ErrorCode memoryStatus(MemoryStatus& status) override {
        std::ifstream meminfo("/proc/meminfo");
        if (!meminfo) return linux_layer::fromErrno(errno);
        const auto read = linux_layer::memoryFromMeminfo(meminfo);
        if (!read) return error::invalidFunction;
        status = *read;
        return error::success;
    }

    bool is64BitSystem() override {
        utsname names{};
        return uname(&names) == 0 && linux_layer::is64BitArchitecture(names.machine);
    }

    std::optional<std::wstring> userLocaleName() override {
        return linux_layer::localeTag(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    }

    std::uint32_t logicalProcessors() override {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        return online > 0 ? static_cast<std::uint32_t>(online) : 1;
    }

    ErrorCode processorTimes(ProcessorTimes& times) override {
        std::ifstream stat("/proc/stat");
        if (!stat) return linux_layer::fromErrno(errno);
        const auto read = linux_layer::timesFromStat(stat, sysconf(_SC_CLK_TCK));
        if (!read) return error::invalidFunction;
        times = *read;
        return error::success;
    }

    // The boot-time clock also counts time spent suspended, as Windows' tick count does.
    std::uint64_t uptimeMilliseconds() override {
        timespec now{};
        if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) return 0;
        return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
    }

    // The file handles allocated on the whole machine.
    std::optional<std::uint32_t> openHandles() override {
        std::ifstream fileNr("/proc/sys/fs/file-nr");
        std::uint32_t allocated = 0;
        if (!(fileNr >> allocated)) return std::nullopt;
        return allocated;
    }

    std::optional<std::uint32_t> runningProcesses() override {
        DIR* proc = opendir("/proc");
        if (!proc) return std::nullopt;
        std::uint32_t count = 0;
        while (const dirent* entry = readdir(proc)) {
            if (isNumber(entry->d_name)) ++count;
        }
        closedir(proc);
        return count;
    }
};

}  // namespace

MachineState& nativeMachineState() {
    static LinuxMachineState machine;
    return machine;
}

}  // namespace platform
