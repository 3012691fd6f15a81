#pragma once
#include "platform/ErrorCode.h"
#include "platform/FileStreams.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A path with a NUL inside names no file: the system would read it only up to
// the NUL and find a shorter path.
inline bool holdsNul(std::wstring_view path) { return path.find(L'\0') != std::wstring_view::npos; }


// The files the driver reads and the report files it writes. Streams answer
// with Win32 error codes, 0 on success.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when a file, directory or link exists under the path.
    virtual bool exists(const std::wstring& path) const = 0;
    // True when the path itself is a symbolic link, junction or other reparse point.
    virtual bool isLink(const std::wstring& path) const = 0;
    virtual void removeFile(const std::wstring& path) = 0;
    // A regular file opened for reading piece by piece, shared with writers;
    // nothing, with the error set, otherwise.
    virtual std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const = 0;
    // Creates a new file for writing and reading back. Fails with fileExists when
    // anything, a link included, is already under the path: nothing is followed
    // or overwritten.
    virtual std::unique_ptr<FileStream> createNew(const std::wstring& path, ErrorCode& error) = 0;
    // The separator of file paths on this platform.
    virtual wchar_t separator() const = 0;
    // True where file names ignore the case of letters.
    virtual bool ignoresCase() const = 0;
};

}  // namespace platform
