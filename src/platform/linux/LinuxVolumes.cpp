#include "platform/linux/DiskVolumes.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace platform {
namespace {

using linux_layer::DiskVolume;

// The block device behind a mount source that is a device node.
std::optional<std::string> blockDeviceOf(const std::string& source) {
    struct stat status {};
    if (source.empty() || source.front() != '/' || stat(source.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) {
        return std::nullopt;
    }
    return std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
}

std::wstring volumeName(const DiskVolume& volume) {
    return L"\\\\?\\Volume{" + linux_layer::fromNative(volume.device) + L"}\\";
}

// Each disk-backed file system is one volume, named after its device number as
// "\\?\Volume{major:minor}\", with the device path \Device\HarddiskVolumeN.
// The mounts are read afresh at the start of every walk.
class LinuxVolumes final : public Volumes {
public:
    ErrorCode visitLimit(std::uint32_t& limit) override {
        std::ifstream mountinfo("/proc/self/mountinfo");
        if (!mountinfo) return linux_layer::fromErrno(errno);
        volumes_ = linux_layer::diskVolumes(mountinfo, "/sys", blockDeviceOf);
        limit = static_cast<std::uint32_t>(volumes_.size());
        return error::success;
    }

    ErrorCode firstVolume(std::wstring& name) override {
        next_ = 0;
        return nextVolume(name);
    }

    ErrorCode nextVolume(std::wstring& name) override {
        if (next_ >= volumes_.size()) return error::noMoreFiles;
        name = volumeName(volumes_[next_++]);
        return error::success;
    }

    void endVolumes() override { next_ = volumes_.size(); }

    ErrorCode devicePath(const std::wstring& volume, std::wstring& device) override {
        const DiskVolume* found = find(L"\\\\?\\" + volume + L"\\");
        if (!found) return error::fileNotFound;
        device = L"\\Device\\HarddiskVolume" + std::to_wstring(found - volumes_.data() + 1);
        return error::success;
    }

    ErrorCode mountPaths(const std::wstring& volume, std::vector<std::wstring>& paths) override {
        const DiskVolume* found = find(volume);
        if (!found) return error::fileNotFound;
        for (const auto& path : found->mountPaths) paths.push_back(linux_layer::nameFromNative(path));
        return error::success;
    }

    ErrorCode space(const std::wstring& mountPath, SpaceFigures& figures) override {
        struct statvfs status {};
        if (statvfs(linux_layer::toNative(mountPath).c_str(), &status) != 0) return linux_layer::fromErrno(errno);
        figures.freeToCaller = static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
        figures.total = static_cast<std::uint64_t>(status.f_blocks) * status.f_frsize;
        return error::success;
    }

private:
    const DiskVolume* find(const std::wstring& volume) const {
        for (const auto& known : volumes_) {
            if (volume == volumeName(known)) return &known;
        }
        return nullptr;
    }

    std::vector<DiskVolume> volumes_;
    std::size_t next_ = 0;
};

}  // namespace

Volumes& nativeVolumes() {
    static LinuxVolumes volumes;
    return volumes;
}

}  // namespace platform
