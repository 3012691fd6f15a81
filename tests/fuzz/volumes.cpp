// The volume reader on any mount table, against this machine's /sys.
#include "platform/linux/DiskVolumes.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream mountinfo(std::string(reinterpret_cast<const char*>(data), size));
    platform::linux_layer::diskVolumes(mountinfo, "/sys", [](const std::string& source) -> std::optional<std::string> {
        if (source.size() > 5 && source.compare(0, 5, "/dev/") == 0) return source.substr(5);
        return std::nullopt;
    });
    return 0;
}
