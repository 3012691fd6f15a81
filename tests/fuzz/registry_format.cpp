// The data of any registry value, formatted as every type.
#include "collect/registry/RegistryFormat.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (std::uint32_t type = 0; type <= 12; ++type) {
        typeName(type);
        formatData(type, bytes);
    }
    if (size > 0) formatData(0xFFFF0000u | data[0], bytes.subspan(1));
    return 0;
}
