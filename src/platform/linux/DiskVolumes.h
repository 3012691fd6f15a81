#pragma once
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace platform::linux_layer {

// One disk-backed file system: its block device ("major:minor") and every path
// it is mounted at, each with a trailing "/", in mount order.
struct DiskVolume {
    std::string device;
    std::vector<std::string> mountPaths;
};

// The block device ("major:minor") a mount source names, when it names one.
using SourceDevice = std::function<std::optional<std::string>(const std::string& source)>;

// The mounts of a mountinfo text whose device is a disk or a partition of one:
// not loop, RAM, optical, removable or network block devices, and not the
// pseudo, RAM or network file systems, which have no block device. File
// systems with anonymous device numbers (btrfs) are found through their source.
// sysfsRoot is where /sys is to be looked at.
std::vector<DiskVolume> diskVolumes(std::istream& mountinfo, const std::string& sysfsRoot,
                                    const SourceDevice& sourceDevice);

}  // namespace platform::linux_layer
