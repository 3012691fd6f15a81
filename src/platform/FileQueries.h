#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// A point in time as the file system keeps it: 100-nanosecond intervals since
// 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

struct FileTimes {
    FileTime lastWrite = 0;
    FileTime creation = 0;
};

// What a file's version resource offers.
enum class VersionResource : std::uint8_t { none, withoutFixedBlock, withFixedBlock };

// The two versions of a version resource's fixed block, each as a most and a
// least significant 32-bit word.
struct FixedVersion {
    std::uint32_t fileMost = 0;
    std::uint32_t fileLeast = 0;
    std::uint32_t productMost = 0;
    std::uint32_t productLeast = 0;
};

// One file opened for reading, its status read and its version resource looked up.
struct FileExamination {
    // The code of the failed open or status query; success otherwise.
    ErrorCode failure = error::success;
    FileTimes times;
    std::int64_t size = 0;
    VersionResource version = VersionResource::none;
    FixedVersion fixed;

    static FileExamination failed(ErrorCode code) {
        FileExamination examination;
        examination.failure = code;
        return examination;
    }
};

struct DirectoryEntry {
    std::wstring name;
    // Links to directories count as directories.
    bool isDirectory = false;
    // Delivered for directories; nothing for one that vanished meanwhile. Files
    // are described by their examination.
    std::optional<FileTimes> times;
    // A symbolic link, junction or other reparse point: listed, never entered.
    bool isLink = false;
};

// Tells whether two paths lead to the same directory, through links or mounts or not.
struct DirectoryIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const DirectoryIdentity&) const = default;
};

// The entries of one directory, in the order the file system delivers them;
// "." and ".." may be among them.
class DirectoryListing {
public:
    virtual ~DirectoryListing() = default;

    // Fills in the next entry; false at the end, and at once when the
    // directory could not be listed.
    virtual bool next(DirectoryEntry& entry) = 0;
    // Examines the file entry that next() delivered last; path is its full path.
    virtual FileExamination examineEntry(const std::wstring& path) = 0;
    // Lists the directory entry that next() delivered last, reached from this
    // open directory, never through a link; prefix is its full path and separator.
    virtual std::unique_ptr<DirectoryListing> listEntry(const std::wstring& prefix) = 0;
    // Why the directory could not be listed, or not to its end; success
    // otherwise. Final once next() returned false.
    virtual ErrorCode failure() const = 0;
    // The directory's own times; nothing when they cannot be read.
    virtual std::optional<FileTimes> ownTimes() const = 0;
    virtual std::optional<DirectoryIdentity> identity() const = 0;
};

// The file-system queries of the file and directory collectors.
class FileQueries {
public:
    virtual ~FileQueries() = default;

    // True when the path exists and is a directory (links followed).
    virtual bool isDirectory(const std::wstring& path) = 0;
    // Opens the file for reading, sharing reading and writing with others, and
    // closes it again; directories cannot be opened this way.
    virtual ErrorCode openForReading(const std::wstring& path) = 0;
    // The open test, the status and the version resource, in one visit.
    virtual FileExamination examine(const std::wstring& path) = 0;
    // The listing of the directory whose path, ending with the separator, is given.
    virtual std::unique_ptr<DirectoryListing> list(const std::wstring& directoryPrefix) = 0;
};

}  // namespace platform
