#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A path with a NUL inside names no file: the system would read it only up to
// the NUL and find a shorter path.
inline bool holdsNul(std::wstring_view path) { return path.find(L'\0') != std::wstring_view::npos; }

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when a file or directory exists under the path.
    virtual bool exists(const std::wstring& path) const = 0;
    virtual void removeFile(const std::wstring& path) = 0;
    // The whole content of a file opened for reading, shared with writers;
    // nothing when the path names no readable file.
    virtual std::optional<std::string> readFile(const std::wstring& path) const = 0;
    // Creates or truncates the file, shared for reading and writing, and
    // writes the bytes; false when the file cannot be opened.
    virtual bool writeFile(const std::wstring& path, const std::string& bytes) = 0;
    // The separator of file paths on this platform.
    virtual wchar_t separator() const = 0;
    // True where file names ignore the case of letters.
    virtual bool ignoresCase() const = 0;
};

}  // namespace platform
