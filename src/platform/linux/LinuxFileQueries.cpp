#include "platform/linux/CallBatch.h"
#include "platform/linux/Descriptor.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"
#include "platform/linux/PeVersion.h"
#include "platform/Native.h"

#include <cerrno>
#include <algorithm>
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

constexpr unsigned statusFields = STATX_TYPE | STATX_MODE | STATX_UID | STATX_MTIME | STATX_CTIME | STATX_BTIME |
                                  STATX_SIZE | STATX_INO;

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

// A link at the name is followed unless `flags` holds AT_SYMLINK_NOFOLLOW.
bool statusAt(int directory, const char* name, struct statx& status, int flags = 0) {
    return statx(directory, name, flags | AT_STATX_SYNC_AS_STAT, statusFields, &status) == 0;
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

// Files are pinned with a path-only descriptor, which opens nothing: no
// permission is needed to describe them, no lease is broken, and a pipe or
// device swapped in under the name is seen as such before anything is opened
// for real (opening it could wake a waiting writer or arm a watchdog).
constexpr int pinFlags = O_PATH | O_CLOEXEC;
constexpr int readFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Only regular files are files: a directory cannot be examined, as on Windows,
// and a pipe, device or socket says what it is.
FileExamination judged(const struct statx& status) {
    if (S_ISDIR(status.stx_mode)) return FileExamination::failed(error::accessDenied);
    if (!S_ISREG(status.stx_mode)) return FileExamination::failed(error::badFileType);
    if (isOwn(status)) return FileExamination::failed(error::fileNotFound);
    return described(status);
}

// Only files large enough to hold a version are opened for reading; one that
// cannot be opened keeps its times and size.
bool mayHoldVersion(const FileExamination& examination) {
    return examination.failure == error::success && examination.size >= static_cast<std::int64_t>(executableHeaderSize);
}

// The name is relative to the directory (AT_FDCWD for the working directory);
// a link is followed.
FileExamination examineAt(int directory, const char* name) {
    const Descriptor pinned(openat(directory, name, pinFlags));
    struct statx status {};
    if (!pinned.valid() || !statusOf(pinned.get(), status)) return FileExamination::failed(lastError());
    FileExamination examination = judged(status);
    if (!mayHoldVersion(examination)) return examination;
    const Descriptor opened(open(linux_layer::reopeningPath(pinned.get()).c_str(), readFlags));
    if (opened.valid()) lookUpVersion(opened.get(), examination, nullptr);
    return examination;
}

// A file of a listing on its way through a batch of calls.
struct BatchedFile {
    const char* name = nullptr;
    FileExamination examination;
    // Each a descriptor or minus the errno of its open; no pin where none is needed.
    int pinned = -1;
    int descriptor = -1;
    std::string reopening;
    int headerRead = 0;
    unsigned char header[executableHeaderSize] = {};
};

// The file as its pinned descriptor shows it. Listed as a regular file, it is
// pinned without following a link: a link swapped in is no regular file.
FileExamination describePinned(const BatchedFile& file) {
    if (file.pinned < 0) return FileExamination::failed(linux_layer::fromErrno(-file.pinned));
    struct statx status {};
    if (!statusOf(file.pinned, status)) return FileExamination::failed(lastError());
    return judged(status);
}

// Where others may rename entries, each file is pinned, judged by what the pin
// holds and opened again through the pin, in two rounds of calls.
void openPinned(CallBatch& calls, int directory, std::span<BatchedFile> files) {
    for (BatchedFile& file : files) calls.openAt(directory, file.name, pinFlags | O_NOFOLLOW, file.pinned);
    calls.complete();
    for (BatchedFile& file : files) {
        file.examination = describePinned(file);
        file.descriptor = -1;
        if (!mayHoldVersion(file.examination)) continue;
        file.reopening = linux_layer::reopeningPath(file.pinned);
        calls.openAt(AT_FDCWD, file.reopening.c_str(), readFlags, file.descriptor);
    }
    calls.complete();
}

// Where nobody but the run's own user and the administrator can rename
// entries, no pipe or device can take a regular file's name between its status
// and its opening: the name serves for both, in one round. A pin would cost
// two more calls per file, and a reopening through /proc that the ring hands
// to a worker thread.
void openByName(CallBatch& calls, int directory, std::span<BatchedFile> files) {
    for (BatchedFile& file : files) {
        struct statx status {};
        file.examination = statusAt(directory, file.name, status, AT_SYMLINK_NOFOLLOW)
                               ? judged(status)
                               : FileExamination::failed(lastError());
        file.descriptor = -1;
        if (mayHoldVersion(file.examination)) {
            calls.openAt(directory, file.name, readFlags | O_NOFOLLOW, file.descriptor);
        }
    }
    calls.complete();
}

// Examines files of one open directory: opens them, then reads their headers
// and closes them in two more rounds of calls, each round one trip into the
// kernel where the batch has a ring. The status is asked for call by call:
// through the ring it would be handed to a worker thread each time, which
// costs more than the call it saves.
void examineBatch(CallBatch& calls, int directory, bool othersMayRename, std::span<BatchedFile> files) {
    if (othersMayRename) {
        openPinned(calls, directory, files);
    } else {
        openByName(calls, directory, files);
    }
    for (BatchedFile& file : files) {
        if (file.descriptor >= 0) calls.readAt(file.descriptor, file.header, sizeof file.header, 0, file.headerRead);
        if (file.pinned >= 0) calls.close(file.pinned);
    }
    calls.complete();
    for (BatchedFile& file : files) {
        if (file.descriptor < 0) continue;
        if (file.headerRead == sizeof file.header) lookUpVersion(file.descriptor, file.examination, file.header);
        calls.close(file.descriptor);
    }
    calls.complete();
}

// Whether anyone but the run's own user and the administrator may rename the
// directory's entries, or its modes may not bind whoever serves its file
// system: one on no disk of its own (network, user space, memory, overlay).
bool othersMayRename(const struct statx& directory) {
    static const uid_t runningUser = geteuid();
    const bool ownersOnly = (directory.stx_uid == 0 || directory.stx_uid == runningUser) &&
                            (directory.stx_mode & (S_IWGRP | S_IWOTH)) == 0;
    return !ownersOnly || directory.stx_dev_major == 0;
}

bool outOfDescriptors(int result) { return result == -EMFILE || result == -ENFILE; }

// Opens that ran out of descriptors are made again one at a time, once the
// batch has given its own back, and once more after each descriptor freed.
template <class FreeDescriptor>
void examineFiles(CallBatch& calls, int directory, bool othersMayRename, std::span<BatchedFile> files,
                  FreeDescriptor freeDescriptor) {
    examineBatch(calls, directory, othersMayRename, files);
    for (BatchedFile& file : files) {
        bool retry = true;
        while (retry && (outOfDescriptors(file.pinned) || outOfDescriptors(file.descriptor))) {
            examineBatch(calls, directory, othersMayRename, {&file, 1});
            retry = freeDescriptor();
        }
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

// The records of the directory being read. Only the deepest directory of a
// walk reads at a time, so one buffer serves them all, and a deep tree does not
// hold one per level.
struct RecordBuffer {
    alignas(dirent64) char bytes[8192];
    // Counts the reads into the buffer, so that a listing can tell whether the bytes are still its own.
    std::uint64_t fills = 0;
};

class LinuxDirectoryListing;

// The directories that listings hold open, in the order they were opened: a
// walk's shallowest first. A walk holds one per level, and when the process
// runs out of descriptors the shallowest give theirs back, to open again when
// the walk returns to them.
class OpenDirectories {
public:
    void add(LinuxDirectoryListing* listing) { listings_.push_back(listing); }
    void remove(LinuxDirectoryListing* listing) {
        listings_.erase(std::find(listings_.rbegin(), listings_.rend(), listing).base() - 1);
    }
    // Closes the shallowest directory that holds a descriptor, but the one
    // asking and the parent it opens from; false when there is none.
    bool release(const LinuxDirectoryListing* asking);

private:
    std::vector<LinuxDirectoryListing*> listings_;
};

// Entries are read a batch ahead of next(), so that the files among them can
// be examined together when the first of them is asked for.
class LinuxDirectoryListing final : public DirectoryListing {
public:
    // Opens the directory named relative to the parent listing (the working
    // directory without one); a link as the last part of the name is followed
    // only when asked to.
    LinuxDirectoryListing(CallBatch& calls, RecordBuffer& records, OpenDirectories& open,
                          LinuxDirectoryListing* parent, std::string name, bool followLink)
        : calls_(calls), records_(records), open_(open), parent_(parent), name_(std::move(name)),
          followLink_(followLink), directory_(openFromParent()) {
        open_.add(this);
        if (!directory_.valid()) failure_ = lastError();
        struct statx status {};
        const bool known = directory_.valid() ? statusOf(directory_.get(), status)
                                              : statusAt(parentDescriptor(), name_.c_str(), status,
                                                         followLink ? 0 : AT_SYMLINK_NOFOLLOW);
        if (known) {
            ownTimes_ = fileTimes(status);
            identity_ = DirectoryIdentity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
            othersMayRename_ = othersMayRename(status);
        }
    }
    LinuxDirectoryListing(const LinuxDirectoryListing&) = delete;
    LinuxDirectoryListing& operator=(const LinuxDirectoryListing&) = delete;
    ~LinuxDirectoryListing() override { open_.remove(this); }

    const LinuxDirectoryListing* parent() const { return parent_; }

    // Gives the descriptor back; false when there was none to give.
    bool release() {
        if (!directory_.valid()) return false;
        directory_.reset(-1);
        return true;
    }

    bool next(DirectoryEntry& entry) override {
        if (position_ == ahead_.size() && !readAhead()) return false;
        const int directory = descriptor();
        const Ahead& found = ahead_[position_++];
        kind_ = kindOfEntry(found.type);
        struct statx status {};
        bool isLink = found.type == DT_LNK;
        bool known = false;
        if (found.type == DT_UNKNOWN &&
            statusAt(directory, found.name.c_str(), status, AT_SYMLINK_NOFOLLOW)) {
            isLink = S_ISLNK(status.stx_mode);
            known = !isLink;  // no link between: this is the entry's own status
            if (!isLink) kind_ = status.stx_mode & S_IFMT;
        }
        // Links are followed for their kind and times, so a link to a directory lists as one.
        if (!known && (kind_ == 0 || kind_ == S_IFDIR)) known = statusAt(directory, found.name.c_str(), status);
        if (kind_ == 0 && known) kind_ = status.stx_mode & S_IFMT;
        entry.name = linux_layer::nameFromNative(found.name);
        entry.isDirectory = kind_ == S_IFDIR;
        entry.times = entry.isDirectory && known ? std::optional(fileTimes(status)) : std::nullopt;
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
        if (kind_ != 0 && kind_ != S_IFREG) return FileExamination::failed(error::badFileType);
        return examineAt(descriptor(), current.name.c_str());
    }

    // By its native name from this open directory: names that are no UTF-8 and
    // trees deeper than any path allows are reached all the same.
    std::unique_ptr<DirectoryListing> listEntry(const std::wstring&) override {
        return std::make_unique<LinuxDirectoryListing>(calls_, records_, open_, this, ahead_[position_ - 1].name,
                                                       false);
    }

    ErrorCode failure() const override { return failure_; }
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

    int parentDescriptor() { return parent_ ? parent_->descriptor() : AT_FDCWD; }

    // Opens the directory by its name from the parent, freeing descriptors while they run out.
    int openFromParent() {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink_ ? 0 : O_NOFOLLOW);
        for (;;) {
            const int parent = parentDescriptor();
            if (parent == -1) {
                errno = ENOENT;  // the parent could not be opened again
                return -1;
            }
            const int directory = openat(parent, name_.c_str(), flags);
            if (directory >= 0 || !outOfDescriptors(-errno) || !open_.release(this)) return directory;
        }
    }

    // The open directory, opened again after it gave its descriptor back: the
    // same directory, read on after the last record taken. -1 when it cannot be.
    int descriptor() {
        if (directory_.valid() || failure_ != error::success) return directory_.get();
        directory_.reset(openFromParent());
        struct statx status {};
        if (!directory_.valid()) {
            endWith(lastError());
        } else if (!statusOf(directory_.get(), status) || !identity_ ||
                   DirectoryIdentity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino} !=
                       *identity_) {
            endWith(error::fileNotFound);  // another directory took its name meanwhile
        } else if (lseek(directory_.get(), resumeAt_, SEEK_SET) < 0) {
            endWith(lastError());
        }
        othersMayRename_ = failure_ != error::success || othersMayRename(status);
        if (failure_ != error::success) directory_.reset(-1);
        recordsRead_ = recordsLength_ = 0;
        return directory_.get();
    }

    // The next record the system lists; nothing at the end, or when the directory cannot be read.
    const dirent64* nextRecord() {
        if (ended_) return nullptr;
        const int directory = descriptor();
        if (recordsRead_ < recordsLength_ && records_.fills != fill_) {
            // A directory below read into the buffer meanwhile: read on after the last record taken.
            recordsRead_ = recordsLength_ = 0;
            if (lseek(directory, resumeAt_, SEEK_SET) < 0) return endWith(lastError());
        }
        if (recordsRead_ == recordsLength_) {
            if (directory < 0) return nullptr;
            const ssize_t length = getdents64(directory, records_.bytes, sizeof records_.bytes);
            if (length <= 0) return endWith(length < 0 ? lastError() : error::success);
            fill_ = ++records_.fills;
            recordsLength_ = static_cast<std::size_t>(length);
            recordsRead_ = 0;
        }
        const auto* record = reinterpret_cast<const dirent64*>(records_.bytes + recordsRead_);
        recordsRead_ += record->d_reclen;
        resumeAt_ = record->d_off;
        return record;
    }

    const dirent64* endWith(ErrorCode failure) {
        ended_ = true;
        if (failure_ == error::success) failure_ = failure;
        return nullptr;
    }

    // Examines the regular files read ahead, from the first one asked for on.
    void examineAhead(std::size_t first) {
        const auto files = std::span(ahead_).subspan(first);
        std::vector<BatchedFile> batch;
        for (const Ahead& entry : files) {
            if (entry.type == DT_REG) batch.emplace_back().name = entry.name.c_str();
        }
        examineFiles(calls_, descriptor(), othersMayRename_, batch, [this] { return open_.release(this); });
        auto examined = batch.begin();
        for (Ahead& entry : files) {
            if (entry.type == DT_REG) entry.examination = (examined++)->examination;
        }
    }

    CallBatch& calls_;
    RecordBuffer& records_;
    OpenDirectories& open_;
    LinuxDirectoryListing* const parent_;
    const std::string name_;
    const bool followLink_;
    Descriptor directory_;
    ErrorCode failure_ = error::success;
    // This directory's records in the buffer, as long as its fill is the last one.
    std::uint64_t fill_ = 0;
    std::size_t recordsLength_ = 0;
    std::size_t recordsRead_ = 0;
    // Where the listing goes on after the last record taken.
    off_t resumeAt_ = 0;
    bool ended_ = false;
    std::optional<FileTimes> ownTimes_;
    std::optional<DirectoryIdentity> identity_;
    bool othersMayRename_ = true;
    std::vector<Ahead> ahead_;
    std::size_t position_ = 0;
    mode_t kind_ = 0;
};

bool OpenDirectories::release(const LinuxDirectoryListing* asking) {
    return std::any_of(listings_.begin(), listings_.end(), [&](LinuxDirectoryListing* listing) {
        return listing != asking && listing != asking->parent() && listing->release();
    });
}

class LinuxFileQueries final : public FileQueries {
public:
    LinuxFileQueries() { linux_layer::allowManyOpenFiles(); }

    bool isDirectory(const std::wstring& path) override {
        struct stat status {};
        return stat(linux_layer::toNative(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    ErrorCode openForReading(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        ErrorCode failure = error::success;
        linux_layer::openRegularFile(AT_FDCWD, native.c_str(), failure);
        return failure;
    }

    FileExamination examine(const std::wstring& path) override {
        const std::string native = linux_layer::toNative(path);
        return examineAt(AT_FDCWD, native.c_str());
    }

    std::unique_ptr<DirectoryListing> list(const std::wstring& directoryPrefix) override {
        return std::make_unique<LinuxDirectoryListing>(calls_, records_, open_, nullptr,
                                                       linux_layer::toNative(directoryPrefix), true);
    }

private:
    CallBatch calls_;
    RecordBuffer records_;
    OpenDirectories open_;
};

}  // namespace

FileQueries& nativeFileQueries() {
    static LinuxFileQueries queries;
    return queries;
}

}  // namespace platform
