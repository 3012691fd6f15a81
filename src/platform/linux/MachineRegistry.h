#pragma once
#include "platform/linux/MemoryRegistry.h"

#include <istream>

namespace platform::linux_layer {

// Puts the machine's facts where Windows keeps them: the operating system's
// name (from os-release) as the product name, and one processor key per
// processor (from /proc/cpuinfo) with its name, vendor and clock.
void addMachineFacts(MemoryRegistry& registry, std::istream& osRelease, std::istream& cpuinfo);

}  // namespace platform::linux_layer
