#include "platform/linux/Descriptor.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using linux_layer::Descriptor;

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

    // Only regular files are read: a device or a pipe could never end or never answer.
    std::optional<std::string> readFile(const std::wstring& path) const override {
        Descriptor file(open(linux_layer::toNative(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat status {};
        if (!file.valid() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
        std::string content;
        char buffer[1 << 16];
        for (;;) {
            const ssize_t count = read(file.get(), buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return std::nullopt;
            if (count == 0) return content;
            content.append(buffer, static_cast<std::size_t>(count));
        }
    }

    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return linux_layer::openFileStream(path, O_RDONLY, error);
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
