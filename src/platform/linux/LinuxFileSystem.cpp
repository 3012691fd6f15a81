#include "platform/Native.h"
#include "platform/linux/Descriptor.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

using linux_layer::fromNative;
using linux_layer::toNative;
namespace own_files = linux_layer::own_files;

class LinuxFolder final : public OwnFolder {
public:
    LinuxFolder(std::wstring path, int descriptor) : path_(std::move(path)), folder_(descriptor) {}

    const std::wstring& path() const override { return path_; }

    // The kernel's own name for the folder: links and ".." already followed.
    std::wstring location() const override {
        std::vector<char> target(PATH_MAX + 1);
        const std::string link = "/proc/self/fd/" + std::to_string(folder_.get());
        const ssize_t length = readlink(link.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) == target.size() || target[0] != '/') return path_;
        std::wstring location = fromNative(std::string(target.data(), static_cast<std::size_t>(length)));
        return location.ends_with(L'/') ? location : location + L'/';
    }

    ErrorCode checkName(const std::wstring& name) const override {
        struct statfs facts {};
        if (fstatfs(folder_.get(), &facts) != 0) return error::success;
        return toNative(name).size() > static_cast<std::size_t>(facts.f_namelen) ? error::filenameTooLong
                                                                                 : error::success;
    }

    OwnFile createOwn(ErrorCode& error) override {
        std::string name;
        const int descriptor = own_files::create(folder_.get(), name);
        if (descriptor < 0) {
            error = linux_layer::fromErrno(errno);
            return {};
        }
        return {linux_layer::streamOf(descriptor), fromNative(name)};
    }

    ErrorCode publishOwn(const std::wstring& name, const std::wstring& target, bool replace) override {
        if (own_files::publish(folder_.get(), toNative(name), toNative(target), replace) == 0) return error::success;
        return errno == EEXIST ? error::fileExists : linux_layer::fromErrno(errno);
    }

    ErrorCode publishResult(const std::wstring& name, const std::wstring& target) override {
        if (own_files::publishResult(folder_.get(), toNative(name), toNative(target)) == 0) return error::success;
        return linux_layer::fromErrno(errno);
    }

    void keepOwn(const std::wstring& name) override { own_files::keep(folder_.get(), toNative(name)); }
    void removeOwn(const std::wstring& name) override { own_files::remove(folder_.get(), toNative(name)); }

private:
    const std::wstring path_;
    const linux_layer::Descriptor folder_;
};

class LinuxFileSystem final : public FileSystem {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return linux_layer::openRegularFileStream(path, error);
    }

    std::unique_ptr<FileStream> openPrivate(const std::wstring& path, ErrorCode& error) const override {
        const int descriptor = ::open(toNative(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            error = errno == ELOOP ? error::accessDenied : linux_layer::fromErrno(errno);
            return nullptr;
        }
        auto stream = linux_layer::streamOf(descriptor);
        struct stat status {};
        if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
            error = error::accessDenied;
            return nullptr;
        }
        return stream;
    }

    std::wstring settingsFolder(ErrorCode& error) override {
        const char* configuration = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        std::string base;
        if (configuration && configuration[0] == '/') base = configuration;
        else if (home && home[0] == '/') base = std::string(home) + "/.config";
        if (base.empty()) {
            error = error::pathNotFound;
            return {};
        }
        const std::string folder = base + "/tavisk";
        mkdir(base.c_str(), 0700);
        mkdir(folder.c_str(), 0700);
        struct stat status {};
        if (lstat(folder.c_str(), &status) != 0) {
            error = linux_layer::fromErrno(errno);
            return {};
        }
        if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid() || (status.st_mode & 022) != 0) {
            error = error::accessDenied;
            return {};
        }
        return fromNative(folder + "/");
    }

    std::unique_ptr<OwnFolder> openFolder(const std::wstring& directory, ErrorCode& error) override {
        const std::string native = directory.empty() ? "." : toNative(directory);
        const int descriptor = open(native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0) {
            error = linux_layer::fromErrno(errno);
            return nullptr;
        }
        return std::make_unique<LinuxFolder>(directory, descriptor);
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
