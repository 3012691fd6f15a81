#include "platform/Native.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

using linux_layer::fromNative;
using linux_layer::toNative;
namespace own_files = linux_layer::own_files;

std::wstring currentDirectory() {
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return L"/";
        buffer.resize(buffer.size() * 2);
    }
    return fromNative(buffer.data());
}

// "." and ".." resolved as names, as the path reads, without asking the file system.
std::wstring normalised(const std::wstring& absolute) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        const std::size_t end = std::min(absolute.find(L'/', start), absolute.size());
        const std::wstring part = absolute.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring path;
    for (const std::wstring& part : parts) path += L"/" + part;
    return path.empty() ? L"/" : path;
}

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

    OwnFile createOwn(const std::wstring& directory, ErrorCode& error) override {
        std::string path;
        const int descriptor = own_files::create(toNative(directory), path);
        if (descriptor < 0) {
            error = linux_layer::fromErrno(errno);
            return {};
        }
        return {linux_layer::streamOf(descriptor), fromNative(path)};
    }

    ErrorCode publishOwn(const std::wstring& path, const std::wstring& target, bool replace) override {
        if (own_files::publish(toNative(path), toNative(target), replace) == 0) return error::success;
        return errno == EEXIST ? error::fileExists : linux_layer::fromErrno(errno);
    }

    void keepOwn(const std::wstring& path) override { own_files::keep(toNative(path)); }
    void removeOwn(const std::wstring& path) override { own_files::remove(toNative(path)); }

    std::wstring fullPath(const std::wstring& path) const override {
        return normalised(path.starts_with(L'/') ? path : currentDirectory() + L"/" + path);
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
