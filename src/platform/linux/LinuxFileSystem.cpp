#include "platform/linux/OpenFile.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

class LinuxFileSystem final : public FileSystem {
public:
    bool exists(const std::wstring& path) const override {
        struct stat status {};
        return lstat(linux_layer::toNative(path).c_str(), &status) == 0;
    }

    bool isLink(const std::wstring& path) const override {
        struct stat status {};
        return lstat(linux_layer::toNative(path).c_str(), &status) == 0 && S_ISLNK(status.st_mode);
    }

    void removeFile(const std::wstring& path) override { unlink(linux_layer::toNative(path).c_str()); }

    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return linux_layer::openRegularFileStream(path, error);
    }

    // O_EXCL fails on any name already there, a dangling link included.
    std::unique_ptr<FileStream> createNew(const std::wstring& path, ErrorCode& error) override {
        return linux_layer::openFileStream(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, error);
    }

    wchar_t separator() const override { return L'/'; }
    bool ignoresCase() const override { return false; }
};

}  // namespace

FileSystem& nativeFileSystem() {
    static LinuxFileSystem files;
    return files;
}

}  // namespace platform
