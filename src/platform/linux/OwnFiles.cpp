#include "platform/linux/OwnFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::linux_layer::own_files {
namespace {

struct Entry {
    int folder;
    std::string name;
    dev_t device;
    ino_t inode;
};

// Held while a file is created, renamed or removed, so a signal's clean-up never
// sees a file half way: one created but not yet listed, or one listed but already published.
std::mutex guard;
std::vector<Entry> entries;
// Set with the rename that put the run's result in place, under the same guard.
bool resultInPlace = false;

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

void forget(int folder, const std::string& name) {
    std::erase_if(entries, [&](const Entry& entry) { return entry.folder == folder && entry.name == name; });
}

// Whoever may write to the folder could have put another file under the name meanwhile.
bool stillOwn(int folder, const std::string& name) {
    struct stat status {};
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
        return entry.folder == folder && entry.name == name && entry.device == status.st_dev &&
               entry.inode == status.st_ino;
    });
}

// A rename that never replaces; where the file system has no such rename, a
// hard link, which never replaces either, takes its place.
int renameNoReplace(int folder, const std::string& name, const std::string& target) {
    if (renameat2(folder, name.c_str(), folder, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (linkat(folder, name.c_str(), folder, target.c_str(), 0) != 0) return -1;
    unlinkat(folder, name.c_str(), 0);
    return 0;
}

int renameOwn(int folder, const std::string& name, const std::string& target, bool replace) {
    if (!stillOwn(folder, name)) {
        errno = ESTALE;
        return -1;
    }
    const int renamed = replace ? renameat(folder, name.c_str(), folder, target.c_str())
                                : renameNoReplace(folder, name, target);
    if (renamed == 0) forget(folder, name);
    return renamed;
}

}  // namespace

int create(int folder, std::string& name) {
    const std::lock_guard lock(guard);
    for (;;) {
        name = privateName();
        const int descriptor = openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        // Another file under 128 random bits is all but impossible; it is still never touched.
        if (descriptor < 0 && errno == EEXIST) continue;
        if (descriptor < 0) return -1;
        struct stat status {};
        fstat(descriptor, &status);
        entries.push_back({folder, name, status.st_dev, status.st_ino});
        return descriptor;
    }
}

int publish(int folder, const std::string& name, const std::string& target, bool replace) {
    const std::lock_guard lock(guard);
    return renameOwn(folder, name, target, replace);
}

int publishResult(int folder, const std::string& name, const std::string& target) {
    const std::lock_guard lock(guard);
    const int renamed = renameOwn(folder, name, target, true);
    resultInPlace = renamed == 0;
    return renamed;
}

void keep(int folder, const std::string& name) {
    const std::lock_guard lock(guard);
    forget(folder, name);
}

void remove(int folder, const std::string& name) {
    const std::lock_guard lock(guard);
    if (stillOwn(folder, name)) unlinkat(folder, name.c_str(), 0);
    forget(folder, name);
}

bool holds(dev_t device, ino_t inode) {
    const std::lock_guard lock(guard);
    for (const Entry& entry : entries) {
        if (entry.device == device && entry.inode == inode) return true;
    }
    return false;
}

bool removeAll() {
    guard.lock();  // never given back: the process ends next
    for (const Entry& entry : entries) {
        if (stillOwn(entry.folder, entry.name)) unlinkat(entry.folder, entry.name.c_str(), 0);
    }
    return resultInPlace;
}

}  // namespace platform::linux_layer::own_files
