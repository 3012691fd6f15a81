#include "platform/linux/DiskVolumes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform::linux_layer {
namespace {

namespace fs = std::filesystem;

// Block devices that are no hard disk, by the kernel's name of the disk.
const char* const excludedDiskNames[] = {"loop", "ram", "zram", "sr", "scd", "fd", "nbd", "rbd"};

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Mountinfo writes blanks, tabs, line feeds and backslashes as three octal digits after a backslash.
std::string unescaped(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) && isOctalDigit(field[i + 2]) &&
            isOctalDigit(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool isHardDisk(const std::string& sysfsRoot, const std::string& device) {
    std::error_code failed;
    fs::path disk = fs::canonical(fs::path(sysfsRoot) / "dev" / "block" / device, failed);
    if (failed) return false;
    if (fs::exists(disk / "partition", failed)) disk = disk.parent_path();
    const std::string name = disk.filename().string();
    const bool excluded = std::any_of(std::begin(excludedDiskNames), std::end(excludedDiskNames),
                                      [&name](const char* prefix) { return name.starts_with(prefix); });
    const bool optical = firstLine(disk / "device" / "type") == "5";
    return !excluded && !optical && firstLine(disk / "removable") != "1";
}

bool isAnonymous(const std::string& device) { return device.starts_with("0:"); }

}  // namespace

std::vector<DiskVolume> diskVolumes(std::istream& mountinfo, const std::string& sysfsRoot,
                                    const SourceDevice& sourceDevice) {
    std::vector<DiskVolume> volumes;
    std::string line;
    while (std::getline(mountinfo, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, field, fileSystem, source;
        fields >> id >> parent >> device >> root >> mountPoint;
        while (fields >> field && field != "-") {}
        fields >> fileSystem >> source;
        if (mountPoint.empty() || source.empty()) continue;
        if (isAnonymous(device)) device = sourceDevice(unescaped(source)).value_or(device);
        if (isAnonymous(device)) continue;
        // A device mounted again was judged at its first mount.
        auto volume = std::find_if(volumes.begin(), volumes.end(),
                                   [&device](const DiskVolume& known) { return known.device == device; });
        if (volume == volumes.end()) {
            if (!isHardDisk(sysfsRoot, device)) continue;
            volume = volumes.insert(volumes.end(), DiskVolume{device, {}});
        }
        std::string path = unescaped(mountPoint);
        if (!path.ends_with('/')) path += '/';
        if (std::find(volume->mountPaths.begin(), volume->mountPaths.end(), path) == volume->mountPaths.end()) {
            volume->mountPaths.push_back(path);
        }
    }
    return volumes;
}

}  // namespace platform::linux_layer
