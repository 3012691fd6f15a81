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

// A file the run created for itself, open for writing and reading back, and
// its name in the folder that holds it.
struct OwnFile {
    std::unique_ptr<FileStream> stream;
    std::wstring name;
};

// A folder held by its handle from the moment it is opened: the run's own files
// are created, renamed and removed in it through that handle, so a folder
// renamed, removed or replaced by a link meanwhile never sends them elsewhere.
//
// A run's own files are created exclusively under private, unpredictable names,
// readable by their owner only, and used through the stream they came with.
// Until one is published or removed it counts as the run's own: a request that
// names it finds nothing, and a run ended by a signal or by closing its console
// removes it on the way out. The folder outlives its own files.
class OwnFolder {
public:
    virtual ~OwnFolder() = default;

    // The folder as it was named, ending in a separator (empty: the current one).
    virtual const std::wstring& path() const = 0;
    // A full path of where the folder is now, ending in a separator.
    virtual std::wstring location() const = 0;
    // filenameTooLong when no file in this folder can take the name.
    virtual ErrorCode checkName(const std::wstring& name) const = 0;
    // A new own file; nothing already there is followed or overwritten.
    virtual OwnFile createOwn(ErrorCode& error) = 0;
    // Renames an own file in one step; it is the run's own no longer. With
    // replace false nothing under the target is touched and the answer is fileExists.
    virtual ErrorCode publishOwn(const std::wstring& name, const std::wstring& target, bool replace) = 0;
    // Renames the run's finished result over the target: the run has succeeded,
    // and an ending signal from now on ends the process with status 0.
    virtual ErrorCode publishResult(const std::wstring& name, const std::wstring& target) = 0;
    // An own file stays where it is, and is the run's own no longer.
    virtual void keepOwn(const std::wstring& name) = 0;
    virtual void removeOwn(const std::wstring& name) = 0;
};

// The files the driver reads and the folders a run writes in. Streams answer
// with Win32 error codes, 0 on success.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // A regular file opened for reading piece by piece, shared with writers;
    // nothing, with the error set, otherwise (a file of the run's own included).
    virtual std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const = 0;
    // The folder (a path ending in a separator, or empty for the current one),
    // held open; nothing, with the error set, when it cannot be opened.
    virtual std::unique_ptr<OwnFolder> openFolder(const std::wstring& directory, ErrorCode& error) = 0;
    // A file of the user's own, opened for reading: a regular file that is not
    // a link (and, where the system says so, belongs to the user running the
    // tool). Access denied for anything else, file not found where nothing is.
    virtual std::unique_ptr<FileStream> openPrivate(const std::wstring& path, ErrorCode& error) const = 0;
    // The folder of the tool's settings for the user running it, ending in the
    // separator; created, owner-only, where missing. Empty, with the error set,
    // when there is none or what stands there is no folder of the user's own.
    virtual std::wstring settingsFolder(ErrorCode& error) = 0;
    // The separator of file paths on this platform.
    virtual wchar_t separator() const = 0;
    // True where file names ignore the case of letters.
    virtual bool ignoresCase() const = 0;
};

}  // namespace platform
