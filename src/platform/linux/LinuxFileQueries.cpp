#include "platform/linux/Descriptor.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PeVersion.h"
#include "platform/Native.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr unsigned statusFields = STATX_TYPE | STATX_MODE | STATX_MTIME | STATX_CTIME | STATX_BTIME | STATX_SIZE |
                                  STATX_INO;

FileTime fileTime(const statx_timestamp& time) {
    constexpr std::int64_t secondsFrom1601To1970 = 11644473600;
    constexpr std::uint64_t intervalsPerSecond = 10000000;
    if (time.tv_sec < -secondsFrom1601To1970) return 0;
    const auto seconds = static_cast<std::uint64_t>(time.tv_sec + secondsFrom1601To1970);
    if (seconds >= UINT64_MAX / intervalsPerSecond) return UINT64_MAX;
    return seconds * intervalsPerSecond + time.tv_nsec / 100;
}

// Creation is the birth time where the file system keeps one, else the last status change.
// Some file systems report a birth time but leave it at the epoch: that is no birth time.
FileTimes fileTimes(const struct statx& status) {
    const bool hasBirthTime =
        (status.stx_mask & STATX_BTIME) && (status.stx_btime.tv_sec != 0 || status.stx_btime.tv_nsec != 0);
    return {fileTime(status.stx_mtime), fileTime(hasBirthTime ? status.stx_btime : status.stx_ctime)};
}

bool statusAt(int directory, const char* name, struct statx& status) {
    return statx(directory, name, AT_STATX_SYNC_AS_STAT, statusFields, &status) == 0;
}

ErrorCode lastError() { return linux_layer::fromErrno(errno); }

using linux_layer::Descriptor;
using linux_layer::openRegularFile;

// A file named relative to a directory (AT_FDCWD for the working directory).
struct FileName {
    int directory;
    const char* name;
    // The kind from the listing, S_IFREG and the like; 0 when unknown.
    mode_t kind;
};

mode_t kindOf(const FileName& file, struct statx& status, bool& statusRead) {
    if (file.kind != 0) return file.kind;
    statusRead = statusAt(file.directory, file.name, status);
    return statusRead ? status.stx_mode & S_IFMT : 0;
}

// Readable as open() would find it, for files that need not be opened.
ErrorCode readability(const FileName& file) {
    return faccessat(file.directory, file.name, R_OK, AT_EACCESS) == 0 ? error::success : lastError();
}

// Only regular files count as files that can be read: opening a device or a
// pipe can act on it (a watchdog arms itself, a waiting writer wakes), so
// anything else is answered like a file that cannot be opened, and directories
// are no files either, as on Windows. Regular files too small to hold a version
// are checked for permission instead of opened: in a listing, opening and
// closing each file would cost more than all else.
FileExamination examineAt(const FileName& file, bool describe) {
    FileExamination examination;
    struct statx status {};
    bool statusRead = false;
    const mode_t kind = kindOf(file, status, statusRead);
    if (kind == 0) return FileExamination::failed(lastError());
    if (kind != S_IFREG) return FileExamination::failed(error::accessDenied);
    ErrorCode failure = error::success;
    if (!describe) {
        openRegularFile(file.directory, file.name, failure);
        return FileExamination::failed(failure);  // no failure when it opened
    }
    if (!statusRead && !statusAt(file.directory, file.name, status)) return FileExamination::failed(lastError());
    if (!S_ISREG(status.stx_mode)) return FileExamination::failed(error::accessDenied);
    examination.times = fileTimes(status);
    examination.size = static_cast<std::int64_t>(status.stx_size);
    if (status.stx_size < linux_layer::executableHeaderSize) {
        failure = readability(file);
        return failure == error::success ? examination : FileExamination::failed(failure);
    }
    const Descriptor opened = openRegularFile(file.directory, file.name, failure);
    if (!opened.valid()) return FileExamination::failed(failure);
    const auto version = linux_layer::readPeVersion([&](std::uint64_t offset, void* buffer, std::size_t length) {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
        return pread(opened.get(), buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
    });
    examination.version = version.resource;
    examination.fixed = version.fixed;
    return examination;
}

mode_t kindOfEntry(unsigned char entryType) {
    switch (entryType) {
    case DT_REG: return S_IFREG;
    case DT_DIR: return S_IFDIR;
    case DT_CHR: return S_IFCHR;
    case DT_BLK: return S_IFBLK;
    case DT_FIFO: return S_IFIFO;
    case DT_SOCK: return S_IFSOCK;
    default: return 0;  // links and file systems that do not say
    }
}

class LinuxDirectoryListing final : public DirectoryListing {
public:
    // Opens the directory named relative to the parent; a link as the last part
    // of the name is followed only when asked to.
    LinuxDirectoryListing(int parent, const char* name, bool followLink) {
        const int noFollow = followLink ? 0 : O_NOFOLLOW;
        const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow);
        if (fd >= 0 && !(directory_ = fdopendir(fd))) close(fd);
        struct statx status {};
        const bool known = directory_ ? statx(dirfd(directory_), "", AT_EMPTY_PATH, statusFields, &status) == 0
                                      : statx(parent, name, followLink ? 0 : AT_SYMLINK_NOFOLLOW, statusFields,
                                              &status) == 0;
        if (known) {
            ownTimes_ = fileTimes(status);
            identity_ = DirectoryIdentity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
        }
    }
    LinuxDirectoryListing(const LinuxDirectoryListing&) = delete;
    LinuxDirectoryListing& operator=(const LinuxDirectoryListing&) = delete;
    ~LinuxDirectoryListing() override {
        if (directory_) closedir(directory_);
    }

    bool next(DirectoryEntry& entry) override {
        if (!directory_) return false;
        const dirent* found = readdir(directory_);
        if (!found) return false;
        name_ = found->d_name;
        kind_ = kindOfEntry(found->d_type);
        struct statx status {};
        bool isLink = found->d_type == DT_LNK;
        bool known = false;
        if (found->d_type == DT_UNKNOWN && statx(dirfd(directory_), name_.c_str(), AT_SYMLINK_NOFOLLOW, statusFields,
                                                  &status) == 0) {
            isLink = S_ISLNK(status.stx_mode);
            known = !isLink;  // no link between: this is the entry's own status
            if (!isLink) kind_ = status.stx_mode & S_IFMT;
        }
        // Links are followed for their kind and times, so a link to a directory lists as one.
        if (!known && (kind_ == 0 || kind_ == S_IFDIR)) known = statusAt(dirfd(directory_), name_.c_str(), status);
        if (kind_ == 0 && known) kind_ = status.stx_mode & S_IFMT;
        entry.name = linux_layer::fromNative(name_);
        entry.isDirectory = kind_ == S_IFDIR;
        entry.times = entry.isDirectory && known ? fileTimes(status) : FileTimes{};
        entry.isLink = isLink;
        return true;
    }

    FileExamination examineEntry(const std::wstring&) override {
        return examineAt({directory_ ? dirfd(directory_) : AT_FDCWD, name_.c_str(), kind_}, true);
    }

    // By its native name from this open directory: names that are no UTF-8 and
    // trees deeper than any path allows are reached all the same.
    std::unique_ptr<DirectoryListing> listEntry(const std::wstring&) override {
        return std::make_unique<LinuxDirectoryListing>(dirfd(directory_), name_.c_str(), false);
    }

    std::optional<FileTimes> ownTimes() const override { return ownTimes_; }
    std::optional<DirectoryIdentity> identity() const override { return identity_; }

private:
    DIR* directory_ = nullptr;
    std::optional<FileTimes> ownTimes_;
    std::optional<DirectoryIdentity> identity_;
    std::string name_;
    mode_t kind_ = 0;
};

class LinuxFileQueries final : public FileQueries {
public:
    // A walk holds one open directory per level, and paths allow some 2,000
    // levels: more than the customary limit of 1,024 open files.
    LinuxFileQueries() {
        rlimit files{};
        if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
            files.rlim_cur = files.rlim_max;
            setrlimit(RLIMIT_NOFILE, &files);
        }
    }

    bool isDirectory(const std::wstring& path) override {
        struct stat status {};
        return stat(linux_layer::toNative(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    ErrorCode openForReading(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        return examineAt({AT_FDCWD, native.c_str(), 0}, false).failure;
    }

    FileExamination examine(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        return examineAt({AT_FDCWD, native.c_str(), 0}, true);
    }

    std::unique_ptr<DirectoryListing> list(const std::wstring& directoryPrefix) override {
        return std::make_unique<LinuxDirectoryListing>(AT_FDCWD, linux_layer::toNative(directoryPrefix).c_str(), true);
    }
};

}  // namespace

FileQueries& nativeFileQueries() {
    static LinuxFileQueries queries;
    return queries;
}

}  // namespace platform
