#pragma once
#include "platform/FileQueries.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform::linux_layer {

// Reads exactly length bytes at offset; false when the file holds fewer.
using ReadAt = std::function<bool(std::uint64_t offset, void* buffer, std::size_t length)>;

struct PeVersion {
    VersionResource resource = VersionResource::none;
    FixedVersion fixed;
};

// The smallest file that can hold the header of an executable.
inline constexpr std::uint64_t executableHeaderSize = 64;

// The version resource of an executable or library built for Windows, found
// where Windows looks: resource type 16, name 1, its first language. Every
// other file, and every malformed one, has none.
PeVersion readPeVersion(const ReadAt& read);

}  // namespace platform::linux_layer
