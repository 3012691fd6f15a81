#pragma once
#include "platform/MachineState.h"

#include <istream>
#include <optional>
#include <string>

namespace platform::linux_layer {

// Physical memory from /proc/meminfo: total MemTotal, available MemAvailable,
// the load in whole percent as Windows rounds it (down).
std::optional<MemoryStatus> memoryFromMeminfo(std::istream& meminfo);
// The machine's processor times from the first line of /proc/stat, counted in
// ticksPerSecond: idle and I/O wait are idle, the kernel time includes them.
std::optional<ProcessorTimes> timesFromStat(std::istream& stat, long ticksPerSecond);
// The locale tag of the first set variable of LC_ALL, LC_MESSAGES and LANG:
// "de_DE.UTF-8" gives "de-DE". C and POSIX, and nothing set, are the English
// default, "en-US"; a value that names no language gives nothing.
std::optional<std::wstring> localeTag(const char* all, const char* messages, const char* lang);
// Whether a machine architecture (uname's machine field) is a 64-bit one.
bool is64BitArchitecture(const std::string& machine);

}  // namespace platform::linux_layer
