#include "platform/linux/CallBatch.h"
#include "platform/linux/Descriptor.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PeVersion.h"
#include "platform/Native.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <span>
#include <string_view>
#include <unistd.h>
#include <vector>

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

bool statusOf(int descriptor, struct statx& status) {
    return statx(descriptor, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, statusFields, &status) == 0;
}

ErrorCode lastError() { return linux_layer::fromErrno(errno); }

// The run's own files are not there for its requests: reading its own growing output would never end.
bool isOwn(const struct statx& status) {
    return linux_layer::own_files::holds(makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino);
}

// A regular file's times and size; its version is looked up apart.
FileExamination described(const struct statx& status) {
    FileExamination examination;
    examination.times = fileTimes(status);
    examination.size = static_cast<std::int64_t>(status.stx_size);
    return examination;
}

using linux_layer::CallBatch;
using linux_layer::Descriptor;
using linux_layer::executableHeaderSize;
using linux_layer::openRegularFile;

// Looks the version up in an open regular file, whose first bytes may have been read already.
void lookUpVersion(int descriptor, FileExamination& examination, const unsigned char* header) {
    const auto version = linux_layer::readPeVersion([&](std::uint64_t offset, void* buffer, std::size_t length) {
        if (header && offset <= executableHeaderSize && length <= executableHeaderSize - offset) {
            std::memcpy(buffer, header + offset, length);
            return true;
        }
        if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
        return pread(descriptor, buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
    });
    examination.version = version.resource;
    examination.fixed = version.fixed;
}

// Only regular files count as files that can be read: opening a device or a
// pipe can act on it (a watchdog arms itself, a waiting writer wakes), so
// anything else is answered like a file that cannot be opened, and directories
// are no files either, as on Windows. The name is relative to the directory
// (AT_FDCWD for the working directory); a link is followed.
FileExamination examineAt(int directory, const char* name, bool describe) {
    ErrorCode failure = error::success;
    const Descriptor opened = openRegularFile(directory, name, failure);
    if (!opened.valid()) return FileExamination::failed(failure);
    if (!describe) return {};
    struct statx status {};
    if (!statusOf(opened.get(), status)) return FileExamination::failed(lastError());
    FileExamination examination = described(status);
    if (status.stx_size >= executableHeaderSize) lookUpVersion(opened.get(), examination, nullptr);
    return examination;
}

// A file of a listing on its way through a batch of calls.
struct BatchedFile {
    const char* name = nullptr;
    FileExamination examination;
    int descriptor = -1;
    struct statx status {};
    int headerRead = 0;
    unsigned char header[executableHeaderSize] = {};
};

// Files the listing said were regular are opened by name without following a
// link and without waiting, then judged by the status of what was opened: a
// pipe or device swapped in meanwhile is refused before anything is read.
constexpr int listedFileFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;

// What the open and the status of the open descriptor tell. The status is
// asked for call by call: through the ring it would be handed to a worker
// thread each time, which costs more than the call it saves.
FileExamination describeOpened(BatchedFile& file) {
    if (file.descriptor < 0) return FileExamination::failed(linux_layer::fromErrno(-file.descriptor));
    if (!statusOf(file.descriptor, file.status)) return FileExamination::failed(lastError());
    if (!S_ISREG(file.status.stx_mode)) return FileExamination::failed(error::accessDenied);
    if (isOwn(file.status)) return FileExamination::failed(error::fileNotFound);
    return described(file.status);
}

// Examines files of one open directory in three rounds of calls (open, read
// the header, close), each round one trip into the kernel where the batch has
// a ring. Only files large enough to hold a version have their header read.
void examineBatch(CallBatch& calls, int directory, std::span<BatchedFile> files) {
    for (BatchedFile& file : files) calls.openAt(directory, file.name, listedFileFlags, file.descriptor);
    calls.complete();
    for (BatchedFile& file : files) {
        file.examination = describeOpened(file);
        if (file.examination.failure == error::success && file.status.stx_size >= executableHeaderSize) {
            calls.readAt(file.descriptor, file.header, sizeof file.header, 0, file.headerRead);
        }
    }
    calls.complete();
    for (BatchedFile& file : files) {
        if (file.descriptor < 0) continue;
        if (file.headerRead == sizeof file.header) lookUpVersion(file.descriptor, file.examination, file.header);
        calls.close(file.descriptor);
    }
    calls.complete();
}

// Opens that ran out of descriptors are made again one at a time, once the
// batch has given its own back.
void examineFiles(CallBatch& calls, int directory, std::span<BatchedFile> files) {
    examineBatch(calls, directory, files);
    for (BatchedFile& file : files) {
        if (file.descriptor == -EMFILE || file.descriptor == -ENFILE) examineBatch(calls, directory, {&file, 1});
    }
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

// Entries are read a batch ahead of next(), so that the files among them can
// be examined together when the first of them is asked for.
class LinuxDirectoryListing final : public DirectoryListing {
public:
    // Opens the directory named relative to the parent; a link as the last part
    // of the name is followed only when asked to.
    LinuxDirectoryListing(CallBatch& calls, int parent, const char* name, bool followLink)
        : calls_(calls),
          directory_(openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW))) {
        struct statx status {};
        const bool known = directory_.valid() ? statusOf(directory_.get(), status)
                                              : statx(parent, name, followLink ? 0 : AT_SYMLINK_NOFOLLOW,
                                                      statusFields, &status) == 0;
        if (known) {
            ownTimes_ = fileTimes(status);
            identity_ = DirectoryIdentity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
        }
    }

    bool next(DirectoryEntry& entry) override {
        if (position_ == ahead_.size() && !readAhead()) return false;
        const Ahead& found = ahead_[position_++];
        kind_ = kindOfEntry(found.type);
        struct statx status {};
        bool isLink = found.type == DT_LNK;
        bool known = false;
        if (found.type == DT_UNKNOWN && statx(directory_.get(), found.name.c_str(), AT_SYMLINK_NOFOLLOW,
                                              statusFields, &status) == 0) {
            isLink = S_ISLNK(status.stx_mode);
            known = !isLink;  // no link between: this is the entry's own status
            if (!isLink) kind_ = status.stx_mode & S_IFMT;
        }
        // Links are followed for their kind and times, so a link to a directory lists as one.
        if (!known && (kind_ == 0 || kind_ == S_IFDIR)) known = statusAt(directory_.get(), found.name.c_str(), status);
        if (kind_ == 0 && known) kind_ = status.stx_mode & S_IFMT;
        entry.name = linux_layer::fromNative(found.name);
        entry.isDirectory = kind_ == S_IFDIR;
        entry.times = entry.isDirectory && known ? fileTimes(status) : FileTimes{};
        entry.isLink = isLink;
        return true;
    }

    // What the listing says is a regular file is examined with the other such
    // files read ahead with it; anything else on its own, following a link.
    FileExamination examineEntry(const std::wstring&) override {
        Ahead& current = ahead_[position_ - 1];
        if (current.type == DT_REG) {
            if (!current.examination) examineAhead(position_ - 1);
            return *current.examination;
        }
        if (kind_ != 0 && kind_ != S_IFREG) return FileExamination::failed(error::accessDenied);
        return examineAt(directory_.get(), current.name.c_str(), true);
    }

    // By its native name from this open directory: names that are no UTF-8 and
    // trees deeper than any path allows are reached all the same.
    std::unique_ptr<DirectoryListing> listEntry(const std::wstring&) override {
        return std::make_unique<LinuxDirectoryListing>(calls_, directory_.get(), ahead_[position_ - 1].name.c_str(),
                                                       false);
    }

    std::optional<FileTimes> ownTimes() const override { return ownTimes_; }
    std::optional<DirectoryIdentity> identity() const override { return identity_; }

private:
    // Entries read at a time; the files among them are examined in one batch.
    static constexpr std::size_t batchSize = 64;

    struct Ahead {
        std::string name;
        unsigned char type;
        std::optional<FileExamination> examination;
    };

    // "." and ".." are left out: nothing asks for them, and each would cost a status query.
    bool readAhead() {
        ahead_.clear();
        position_ = 0;
        while (ahead_.size() < batchSize) {
            const dirent64* found = nextRecord();
            if (!found) break;
            const std::string_view name = found->d_name;
            if (name != "." && name != "..") ahead_.push_back({std::string(name), found->d_type, std::nullopt});
        }
        return !ahead_.empty();
    }

    // The next record the system lists; nothing at the end, or when the directory cannot be read.
    const dirent64* nextRecord() {
        if (recordsRead_ == recordsLength_) {
            const ssize_t length =
                directory_.valid() && !ended_ ? getdents64(directory_.get(), records_, sizeof records_) : 0;
            ended_ = length <= 0;
            if (ended_) return nullptr;
            recordsLength_ = static_cast<std::size_t>(length);
            recordsRead_ = 0;
        }
        const auto* record = reinterpret_cast<const dirent64*>(records_ + recordsRead_);
        recordsRead_ += record->d_reclen;
        return record;
    }

    // Examines the regular files read ahead, from the first one asked for on.
    void examineAhead(std::size_t first) {
        const auto files = std::span(ahead_).subspan(first);
        std::vector<BatchedFile> batch;
        for (const Ahead& entry : files) {
            if (entry.type == DT_REG) batch.emplace_back().name = entry.name.c_str();
        }
        examineFiles(calls_, directory_.get(), batch);
        auto examined = batch.begin();
        for (Ahead& entry : files) {
            if (entry.type == DT_REG) entry.examination = (examined++)->examination;
        }
    }

    CallBatch& calls_;
    const Descriptor directory_;
    // Records as the system lists them, taken a batch at a time.
    alignas(dirent64) char records_[8192];
    std::size_t recordsLength_ = 0;
    std::size_t recordsRead_ = 0;
    bool ended_ = false;
    std::optional<FileTimes> ownTimes_;
    std::optional<DirectoryIdentity> identity_;
    std::vector<Ahead> ahead_;
    std::size_t position_ = 0;
    mode_t kind_ = 0;
};

class LinuxFileQueries final : public FileQueries {
public:
    LinuxFileQueries() { linux_layer::allowManyOpenFiles(); }

    bool isDirectory(const std::wstring& path) override {
        struct stat status {};
        return stat(linux_layer::toNative(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    ErrorCode openForReading(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        return examineAt(AT_FDCWD, native.c_str(), false).failure;
    }

    FileExamination examine(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        return examineAt(AT_FDCWD, native.c_str(), true);
    }

    std::unique_ptr<DirectoryListing> list(const std::wstring& directoryPrefix) override {
        return std::make_unique<LinuxDirectoryListing>(calls_, AT_FDCWD, linux_layer::toNative(directoryPrefix).c_str(),
                                                       true);
    }

private:
    CallBatch calls_;
};

}  // namespace

FileQueries& nativeFileQueries() {
    static LinuxFileQueries queries;
    return queries;
}

}  // namespace platform
