#pragma once
#include <sys/types.h>

#include <string>

namespace platform::linux_layer {

// The files the run created for itself and has neither published nor removed.
// They are kept here so that a signal can remove them and a request cannot read them.
namespace own_files {

// Creates a new file, owner-only, under a private name in the directory (a
// path ending in "/", or empty for the current one); the descriptor, or -1 with errno set.
int create(const std::string& directory, std::string& path);
// Renames an own file; replace false never replaces what is under the target.
// 0, or -1 with errno set.
int publish(const std::string& path, const std::string& target, bool replace);
// The file stays where it is, and is the run's own no longer.
void keep(const std::string& path);
void remove(const std::string& path);
// True when the file is one of the run's own.
bool holds(dev_t device, ino_t inode);
// Removes them all; the process is about to end.
void removeAll();

}  // namespace own_files
}  // namespace platform::linux_layer
