#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using linux_layer::Descriptor;
using linux_layer::fromErrno;
using linux_layer::toNative;

ErrorCode lastError() { return fromErrno(errno); }

class LinuxFileStream final : public FileStream {
public:
    explicit LinuxFileStream(int descriptor) : descriptor_(descriptor) {}
    LinuxFileStream(const LinuxFileStream&) = delete;
    LinuxFileStream& operator=(const LinuxFileStream&) = delete;
    ~LinuxFileStream() override { close(); }

    ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        processed = 0;
        while (processed < size) {
            const ssize_t count = ::read(descriptor_, static_cast<char*>(data) + processed, size - processed);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return lastError();
            if (count == 0) break;
            processed += static_cast<std::uint32_t>(count);
        }
        return error::success;
    }

    ErrorCode write(const void* data, std::uint32_t size, std::uint32_t& processed) override {
        processed = 0;
        while (processed < size) {
            const ssize_t count = ::write(descriptor_, static_cast<const char*>(data) + processed, size - processed);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return lastError();
            processed += static_cast<std::uint32_t>(count);
        }
        return error::success;
    }

    ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override {
        static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        if (origin > fromEnd) return error::invalidParameter;
        const off_t position = lseek(descriptor_, static_cast<off_t>(offset), whence[origin]);
        if (position < 0) return errno == EINVAL ? error::negativeSeek : lastError();
        newPosition = static_cast<std::uint64_t>(position);
        return error::success;
    }

    ErrorCode setSize(std::uint64_t size) override {
        return ftruncate(descriptor_, static_cast<off_t>(size)) == 0 ? error::success : lastError();
    }

    ErrorCode size(std::uint64_t& size) override {
        struct stat status {};
        if (fstat(descriptor_, &status) != 0) return lastError();
        size = static_cast<std::uint64_t>(status.st_size);
        return error::success;
    }

    ErrorCode close() override {
        if (descriptor_ < 0) return error::invalidHandle;
        const int closed = ::close(descriptor_);
        descriptor_ = -1;
        return closed == 0 ? error::success : lastError();
    }

private:
    int descriptor_;
};

std::uint64_t fileTime(const timespec& time) {
    constexpr std::int64_t ticksPerSecond = 10'000'000;
    constexpr std::int64_t ticksFrom1601To1970 = 116'444'736'000'000'000;
    return static_cast<std::uint64_t>(time.tv_sec * ticksPerSecond + time.tv_nsec / 100 + ticksFrom1601To1970);
}

// Links are followed, as Windows lists a link to a directory as a directory; the
// link itself is marked so that walks need not follow it.
std::optional<ListedEntry> describe(const std::string& path, const std::wstring& name) {
    struct stat link {};
    struct stat status {};
    if (lstat(path.c_str(), &link) != 0) return std::nullopt;
    if (stat(path.c_str(), &status) != 0) status = link;
    constexpr std::uint32_t archiveAttribute = 0x20;
    // The Unix mode rides in the upper half, as archivers on Unix store it.
    constexpr std::uint32_t unixModeFlag = 0x8000;
    std::uint32_t attributes = S_ISDIR(status.st_mode) ? directoryAttribute : archiveAttribute;
    if (S_ISLNK(link.st_mode)) attributes |= reparsePointAttribute;
    attributes |= unixModeFlag | (static_cast<std::uint32_t>(status.st_mode) << 16);
    return ListedEntry{name,
                       fileTime(status.st_ctim),
                       fileTime(status.st_atim),
                       fileTime(status.st_mtim),
                       S_ISDIR(status.st_mode) ? 0 : static_cast<std::uint64_t>(status.st_size),
                       attributes};
}

class LinuxFileStreams final : public FileStreams {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) override {
        return linux_layer::openRegularFileStream(path, error);
    }

    std::unique_ptr<FileStream> createForWriting(const std::wstring& path, ErrorCode& error) override {
        return linux_layer::openFileStream(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, error);
    }

    ErrorCode replaceFile(const std::wstring& source, const std::wstring& target) override {
        return ::rename(toNative(source).c_str(), toNative(target).c_str()) == 0 ? error::success : lastError();
    }

    void removeFile(const std::wstring& path) override { unlink(toNative(path).c_str()); }

    bool isDirectory(const std::wstring& path) const override {
        struct stat status {};
        return stat(toNative(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    // A name without wildcards is looked up directly; others are matched against the directory's listing.
    std::vector<ListedEntry> list(const std::wstring& pattern) const override {
        const std::size_t slash = pattern.rfind(L'/');
        const std::wstring directory = slash == std::wstring::npos ? L"" : pattern.substr(0, slash + 1);
        const std::wstring namePattern = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
        std::vector<ListedEntry> entries;
        if (namePattern.empty()) return entries;
        if (namePattern.find_first_of(L"*?") == std::wstring::npos) {
            if (auto entry = describe(toNative(pattern), namePattern)) entries.push_back(*entry);
            return entries;
        }
        DIR* listing = opendir(directory.empty() ? "." : toNative(directory).c_str());
        if (!listing) return entries;
        const std::string nativePattern = toNative(namePattern);
        while (const dirent* item = readdir(listing)) {
            if (fnmatch(nativePattern.c_str(), item->d_name, 0) != 0) continue;
            if (auto entry = describe(toNative(directory) + item->d_name, linux_layer::nameFromNative(item->d_name))) {
                entries.push_back(*entry);
            }
        }
        closedir(listing);
        return entries;
    }

    wchar_t separator() const override { return L'/'; }
};

}  // namespace

namespace linux_layer {

std::unique_ptr<FileStream> openFileStream(const std::wstring& path, int flags, ErrorCode& error) {
    // Without blocking, a pipe or device under the name cannot stall the run; only regular files pass.
    const int descriptor = ::open(toNative(path).c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0600);
    if (descriptor < 0) {
        error = lastError();
        return nullptr;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        error = error::accessDenied;
        return nullptr;
    }
    return streamOf(descriptor);
}

std::unique_ptr<FileStream> streamOf(int descriptor) { return std::make_unique<LinuxFileStream>(descriptor); }

std::string reopeningPath(int pinned) { return "/proc/self/fd/" + std::to_string(pinned); }

Descriptor openRegularFile(int directory, const char* name, ErrorCode& error) {
    // A path-only descriptor opens nothing: it pins what the name leads to now,
    // so the type checked is the type of the file then opened, whatever the
    // name is swapped for meanwhile.
    const Descriptor pinned(openat(directory, name, O_PATH | O_CLOEXEC));
    struct stat status {};
    if (!pinned.valid() || fstat(pinned.get(), &status) != 0) {
        error = lastError();
        return Descriptor(-1);
    }
    if (!S_ISREG(status.st_mode)) {
        error = error::accessDenied;
        return Descriptor(-1);
    }
    // The run's own files are not there for its requests: reading its own growing output would never end.
    if (own_files::holds(status.st_dev, status.st_ino)) {
        error = error::fileNotFound;
        return Descriptor(-1);
    }
    Descriptor file(::open(reopeningPath(pinned.get()).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) error = lastError();
    return file;
}

std::unique_ptr<FileStream> openRegularFileStream(const std::wstring& path, ErrorCode& error) {
    Descriptor file = openRegularFile(AT_FDCWD, toNative(path).c_str(), error);
    return file.valid() ? streamOf(file.release()) : nullptr;
}

}  // namespace linux_layer

FileStreams& nativeFileStreams() {
    static LinuxFileStreams streams;
    return streams;
}

}  // namespace platform
