#include "platform/Folders.h"
#include "platform/Native.h"
#include "platform/linux/Descriptor.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/Paths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <string_view>
#include <sys/stat.h>

namespace platform {
namespace {

using linux_layer::Descriptor;
using linux_layer::fromErrno;

Descriptor openFolderAt(int parent, const char* name, int flags, ErrorCode& error) {
    Descriptor folder(openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags));
    if (!folder.valid()) error = fromErrno(errno);
    return folder;
}

// What a listing needs of an entry: its name, and whether it is a folder or a link.
std::uint32_t attributesOf(int folder, const dirent* item) {
    unsigned char type = item->d_type;
    if (type == DT_UNKNOWN) {
        struct stat status {};
        if (fstatat(folder, item->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISLNK(status.st_mode) ? DT_LNK : S_ISDIR(status.st_mode) ? DT_DIR : DT_REG;
    }
    return type == DT_LNK ? reparsePointAttribute : type == DT_DIR ? directoryAttribute : 0;
}

class LinuxOpenFolder final : public OpenFolder {
public:
    explicit LinuxOpenFolder(Descriptor folder) : folder_(std::move(folder)) {}

    bool entries(std::vector<ListedEntry>& found, ErrorCode& error) override {
        // The listing closes what it is given: a copy, so this folder stays open.
        const int copy = fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0);
        DIR* listing = copy < 0 ? nullptr : fdopendir(copy);
        if (!listing) {
            error = fromErrno(errno);
            if (copy >= 0) close(copy);
            return false;
        }
        rewinddir(listing);
        errno = 0;
        while (const dirent* item = readdir(listing)) {
            const std::string_view name = item->d_name;
            if (name != "." && name != "..") {
                ListedEntry& entry = found.emplace_back();
                entry.name = linux_layer::fromNative(item->d_name);
                entry.attributes = attributesOf(folder_.get(), item);
            }
            errno = 0;
        }
        const int failure = errno;
        closedir(listing);
        if (failure != 0) error = fromErrno(failure);
        return failure == 0;
    }

    std::unique_ptr<OpenFolder> folder(const std::wstring& name, ErrorCode& error) override {
        Descriptor inner = openFolderAt(folder_.get(), linux_layer::toNative(name).c_str(), O_NOFOLLOW, error);
        return inner.valid() ? std::make_unique<LinuxOpenFolder>(std::move(inner)) : nullptr;
    }

    // The entry itself is pinned without following a link; only a regular file is then opened.
    std::unique_ptr<FileStream> file(const std::wstring& name, ErrorCode& error) override {
        const Descriptor pinned(
            openat(folder_.get(), linux_layer::toNative(name).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!pinned.valid() || fstat(pinned.get(), &status) != 0) {
            error = fromErrno(errno);
            return nullptr;
        }
        if (!S_ISREG(status.st_mode)) {
            error = error::accessDenied;
            return nullptr;
        }
        const std::string reopened = "/proc/self/fd/" + std::to_string(pinned.get());
        Descriptor file = linux_layer::openRegularFile(AT_FDCWD, reopened.c_str(), error);
        return file.valid() ? linux_layer::streamOf(file.release()) : nullptr;
    }

private:
    const Descriptor folder_;
};

class LinuxFolders final : public Folders {
public:
    // A search holds one open folder per level of the tree.
    LinuxFolders() { linux_layer::allowManyOpenFiles(); }

    std::unique_ptr<OpenFolder> open(const std::wstring& path, ErrorCode& error) override {
        Descriptor folder = openFolderAt(AT_FDCWD, linux_layer::toNative(path).c_str(), 0, error);
        return folder.valid() ? std::make_unique<LinuxOpenFolder>(std::move(folder)) : nullptr;
    }

    std::size_t holdable() const override {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
        return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, 1u << 16) / 4);
    }
};

}  // namespace

Folders& nativeFolders() {
    static LinuxFolders folders;
    return folders;
}

}  // namespace platform
