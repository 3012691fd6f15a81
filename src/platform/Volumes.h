#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct SpaceFigures {
    std::uint64_t freeToCaller = 0;  // what the calling user may still use, quota included
    std::uint64_t total = 0;
};

// The storage volumes of the machine. Volume names read "\\?\NAME\"; a volume
// whose device path holds "HarddiskVolume" lies on a hard disk.
class Volumes {
public:
    virtual ~Volumes() = default;

    // How many volumes a walk visits at most (on Windows the drive letters in use).
    virtual ErrorCode visitLimit(std::uint32_t& limit) = 0;
    // The volume enumeration: the first name, the next ones (error::noMoreFiles
    // at the end), then endVolumes.
    virtual ErrorCode firstVolume(std::wstring& name) = 0;
    virtual ErrorCode nextVolume(std::wstring& name) = 0;
    virtual void endVolumes() = 0;
    // The device path of a volume named without its "\\?\" prefix and trailing backslash.
    virtual ErrorCode devicePath(const std::wstring& volume, std::wstring& device) = 0;
    // Every path at which the full-named volume is mounted, each with its trailing separator.
    virtual ErrorCode mountPaths(const std::wstring& volume, std::vector<std::wstring>& paths) = 0;
    virtual ErrorCode space(const std::wstring& mountPath, SpaceFigures& figures) = 0;
};

}  // namespace platform
