#include "platform/linux/OwnFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::linux_layer::own_files {
namespace {

struct Entry {
    std::string path;
    dev_t device;
    ino_t inode;
};

// Held while a file is created, renamed or removed, so a signal's clean-up never
// sees a file half way: one created but not yet listed, or one listed but already published.
std::mutex guard;
std::vector<Entry> entries;

std::string privateName() {
    unsigned char bytes[16] = {};
    for (std::size_t got = 0; got < sizeof bytes;) {
        const ssize_t count = getrandom(bytes + got, sizeof bytes - got, 0);
        if (count > 0) got += static_cast<std::size_t>(count);
    }
    std::string name = "tavisk-";
    for (const unsigned char byte : bytes) {
        static constexpr char digits[] = "0123456789abcdef";
        name += digits[byte >> 4];
        name += digits[byte & 15];
    }
    return name + ".tmp";
}

void forget(const std::string& path) {
    std::erase_if(entries, [&](const Entry& entry) { return entry.path == path; });
}

// A rename that never replaces; where the file system has no such rename, a
// hard link, which never replaces either, takes its place.
// Whoever may write to the folder could have put another file under the name meanwhile.
bool stillOwn(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) return false;
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
        return entry.path == path && entry.device == status.st_dev && entry.inode == status.st_ino;
    });
}

int renameNoReplace(const std::string& path, const std::string& target) {
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (link(path.c_str(), target.c_str()) != 0) return -1;
    unlink(path.c_str());
    return 0;
}

}  // namespace

int create(const std::string& directory, std::string& path) {
    const std::lock_guard lock(guard);
    for (;;) {
        path = directory + privateName();
        const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        // Another file under 128 random bits is all but impossible; it is still never touched.
        if (descriptor < 0 && errno == EEXIST) continue;
        if (descriptor < 0) return -1;
        struct stat status {};
        fstat(descriptor, &status);
        entries.push_back({path, status.st_dev, status.st_ino});
        return descriptor;
    }
}

int publish(const std::string& path, const std::string& target, bool replace) {
    const std::lock_guard lock(guard);
    if (!stillOwn(path)) {
        errno = ESTALE;
        return -1;
    }
    const int renamed = replace ? rename(path.c_str(), target.c_str()) : renameNoReplace(path, target);
    if (renamed == 0) forget(path);
    return renamed;
}

void keep(const std::string& path) {
    const std::lock_guard lock(guard);
    forget(path);
}

void remove(const std::string& path) {
    const std::lock_guard lock(guard);
    if (stillOwn(path)) unlink(path.c_str());
    forget(path);
}

bool holds(dev_t device, ino_t inode) {
    const std::lock_guard lock(guard);
    for (const Entry& entry : entries) {
        if (entry.device == device && entry.inode == inode) return true;
    }
    return false;
}

void removeAll() {
    guard.lock();  // never given back: the process ends next
    for (const Entry& entry : entries) {
        if (stillOwn(entry.path)) unlink(entry.path.c_str());
    }
}

}  // namespace platform::linux_layer::own_files
