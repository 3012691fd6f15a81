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

// A file the run created for itself, open for writing and reading back.
struct OwnFile {
    std::unique_ptr<FileStream> stream;
    std::wstring path;
};

// The files the driver reads and the files a run writes. Streams answer with
// Win32 error codes, 0 on success.
//
// A run's own files are created exclusively under private, unpredictable names,
// readable by their owner only, and used through the stream they came with.
// Until one is published or removed it counts as the run's own: a request that
// names it finds nothing, and a run ended by a signal or by closing its console
// removes it on the way out.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // A regular file opened for reading piece by piece, shared with writers;
    // nothing, with the error set, otherwise (a file of the run's own included).
    virtual std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const = 0;
    // A file of the user's own, opened for reading: a regular file that is not
    // a link (and, where the system says so, belongs to the user running the
    // tool). Access denied for anything else, file not found where nothing is.
    virtual std::unique_ptr<FileStream> openPrivate(const std::wstring& path, ErrorCode& error) const = 0;
    // The folder of the tool's settings for the user running it, ending in the
    // separator; created, owner-only, where missing. Empty, with the error set,
    // when there is none or what stands there is no folder of the user's own.
    virtual std::wstring settingsFolder(ErrorCode& error) = 0;
    // A new own file in the directory (empty: the current one); nothing already
    // there is followed or overwritten.
    virtual OwnFile createOwn(const std::wstring& directory, ErrorCode& error) = 0;
    // Moves an own file under the target path in one step; it is the run's own
    // no longer. With replace false nothing under the target is touched and the
    // answer is fileExists.
    virtual ErrorCode publishOwn(const std::wstring& path, const std::wstring& target, bool replace) = 0;
    // An own file stays where it is, and is the run's own no longer.
    virtual void keepOwn(const std::wstring& path) = 0;
    virtual void removeOwn(const std::wstring& path) = 0;
    // The path as a full path from the root, with "." and ".." resolved as names.
    virtual std::wstring fullPath(const std::wstring& path) const = 0;
    // The separator of file paths on this platform.
    virtual wchar_t separator() const = 0;
    // True where file names ignore the case of letters.
    virtual bool ignoresCase() const = 0;
};

}  // namespace platform
