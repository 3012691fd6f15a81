#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// An open file, read or written piece by piece. Every operation answers with a
// Win32 error code, 0 on success.
class FileStream {
public:
    enum Origin : std::uint32_t { fromBegin = 0, fromCurrent = 1, fromEnd = 2 };

    virtual ~FileStream() = default;

    // Fewer bytes than asked only at the end of the file; none there.
    virtual ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) = 0;
    // Writes at least one byte of a non-empty request, or fails.
    virtual ErrorCode write(const void* data, std::uint32_t size, std::uint32_t& processed) = 0;
    virtual ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) = 0;
    virtual ErrorCode setSize(std::uint64_t size) = 0;
    virtual ErrorCode size(std::uint64_t& size) = 0;
    // Closes the file at once, answering failures that only closing reveals;
    // every later operation fails.
    virtual ErrorCode close() = 0;
};

// One entry of a directory listing; times in 100 ns units since 1601-01-01 UTC.
struct ListedEntry {
    std::wstring name;
    std::uint64_t creationTime = 0;
    std::uint64_t lastAccessTime = 0;
    std::uint64_t lastWriteTime = 0;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;  // Win32 attribute bits
};

inline constexpr std::uint32_t directoryAttribute = 0x10;
// A link or junction; a link to a directory also carries the directory bit.
inline constexpr std::uint32_t reparsePointAttribute = 0x400;

// Files as streams, and the listings that find them.
class FileStreams {
public:
    virtual ~FileStreams() = default;

    // Shared with other readers and writers; nothing, with the error set, on failure.
    virtual std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) = 0;
    // Creates the file or empties an existing one.
    virtual std::unique_ptr<FileStream> createForWriting(const std::wstring& path, ErrorCode& error) = 0;
    // Puts a finished file under the target path in one step, replacing what was there.
    virtual ErrorCode replaceFile(const std::wstring& source, const std::wstring& target) = 0;
    virtual void removeFile(const std::wstring& path) = 0;
    virtual bool isDirectory(const std::wstring& path) const = 0;
    // The entries of a directory whose names match the last part of the pattern
    // ("*" and "?" are wildcards), "." and ".." included where the platform lists
    // them; empty when nothing matches or the directory cannot be listed.
    virtual std::vector<ListedEntry> list(const std::wstring& pattern) const = 0;
    // The separator this platform joins path parts with.
    virtual wchar_t separator() const = 0;
};

}  // namespace platform
