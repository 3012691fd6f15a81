#include "platform/Native.h"
#include "platform/linux/ErrorMessages.h"
#include "platform/linux/OpenFile.h"
#include "platform/linux/OwnFiles.h"
#include "platform/linux/Paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

using linux_layer::fromNative;
using linux_layer::toNative;
namespace own_files = linux_layer::own_files;

std::wstring currentDirectory() {
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return L"/";
        buffer.resize(buffer.size() * 2);
    }
    return fromNative(buffer.data());
}

// "." and ".." resolved as names, as the path reads, without asking the file system.
std::wstring normalised(const std::wstring& absolute) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        const std::size_t end = std::min(absolute.find(L'/', start), absolute.size());
        const std::wstring part = absolute.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring path;
    for (const std::wstring& part : parts) path += L"/" + part;
    return path.empty() ? L"/" : path;
}

class LinuxFileSystem final : public FileSystem {
public:
    std::unique_ptr<FileStream> openForReading(const std::wstring& path, ErrorCode& error) const override {
        return linux_layer::openRegularFileStream(path, error);
    }

    OwnFile createOwn(const std::wstring& directory, ErrorCode& error) override {
        std::string path;
        const int descriptor = own_files::create(toNative(directory), path);
        if (descriptor < 0) {
            error = linux_layer::fromErrno(errno);
            return {};
        }
        return {linux_layer::streamOf(descriptor), fromNative(path)};
    }

    ErrorCode publishOwn(const std::wstring& path, const std::wstring& target, bool replace) override {
        if (own_files::publish(toNative(path), toNative(target), replace) == 0) return error::success;
        return errno == EEXIST ? error::fileExists : linux_layer::fromErrno(errno);
    }

    void keepOwn(const std::wstring& path) override { own_files::keep(toNative(path)); }
    void removeOwn(const std::wstring& path) override { own_files::remove(toNative(path)); }

    std::wstring fullPath(const std::wstring& path) const override {
        return normalised(path.starts_with(L'/') ? path : currentDirectory() + L"/" + path);
    }

    wchar_t separator() const override { return L'/'; }
    bool ignoresCase() const override { return false; }
};

}  // namespace

FileSystem& nativeFileSystem() {
    static LinuxFileSystem files;
    return files;
}

}  // namespace platform
