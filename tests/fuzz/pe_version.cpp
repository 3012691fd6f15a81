// The version resource reader on any file: no read outside the file, no fault.
#include "platform/linux/PeVersion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::linux_layer::readPeVersion([&](std::uint64_t offset, void* buffer, std::size_t length) {
        if (offset > size || length > size - offset) return false;
        if (length > 0) std::memcpy(buffer, data + offset, length);
        return true;
    });
    return 0;
}
