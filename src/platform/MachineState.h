#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct MemoryStatus {
    std::uint32_t loadPercent = 0;  // physical memory in use, 0 to 100
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
};

// Cumulative processor times of the whole machine in 100-nanosecond units; the
// kernel time includes the idle time.
struct ProcessorTimes {
    std::uint64_t idle = 0;
    std::uint64_t kernel = 0;
    std::uint64_t user = 0;
};

// Memory, operating system, processor and the running figures of the machine.
class MachineState {
public:
    virtual ~MachineState() = default;

    virtual ErrorCode memoryStatus(MemoryStatus& status) = 0;
    // Whether the operating system (not this process) is a 64-bit one.
    virtual bool is64BitSystem() = 0;
    // The user's default locale name, such as de-DE.
    virtual std::optional<std::wstring> userLocaleName() = 0;
    virtual std::uint32_t logicalProcessors() = 0;
    virtual ErrorCode processorTimes(ProcessorTimes& times) = 0;
    virtual std::uint64_t uptimeMilliseconds() = 0;
    // Handles open on the whole machine.
    virtual std::optional<std::uint32_t> openHandles() = 0;
    virtual std::optional<std::uint32_t> runningProcesses() = 0;
};

}  // namespace platform
