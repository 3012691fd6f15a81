// The account reader on any passwd and group files: the input up to its first
// NUL is the passwd file, the rest the group file.
#include "platform/linux/AccountFiles.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    std::istringstream passwd(bytes.substr(0, split));
    std::istringstream group(split == std::string::npos ? std::string() : bytes.substr(split + 1));
    platform::linux_layer::accountsFromFiles(passwd, group);
    return 0;
}
