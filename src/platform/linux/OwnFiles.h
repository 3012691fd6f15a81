#pragma once
#include <sys/types.h>

#include <string>

namespace platform::linux_layer {

// The files the run created for itself and has neither published nor removed,
// each by its folder's descriptor and its name there. They are kept here so
// that a signal can remove them and a request cannot read them.
namespace own_files {

// Creates a new file, owner-only, under a private name in the folder; the
// descriptor, or -1 with errno set.
int create(int folder, std::string& name);
// Renames an own file in its folder; replace false never replaces what is
// under the target. 0, or -1 with errno set.
int publish(int folder, const std::string& name, const std::string& target, bool replace);
// Publishes the run's result, replacing what is under the target; from then on
// the run has succeeded.
int publishResult(int folder, const std::string& name, const std::string& target);
// The file stays where it is, and is the run's own no longer.
void keep(int folder, const std::string& name);
void remove(int folder, const std::string& name);
// True when the file is one of the run's own.
bool holds(dev_t device, ino_t inode);
// Removes them all; the process is about to end. True when the run's result is in place.
bool removeAll();

}  // namespace own_files
}  // namespace platform::linux_layer
