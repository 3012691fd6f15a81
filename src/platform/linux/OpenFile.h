#pragma once
#include "platform/FileStreams.h"
#include "platform/linux/Descriptor.h"

#include <memory>
#include <string>

namespace platform::linux_layer {

// Opens a regular file as a stream with open(2) flags; nothing, with the error
// set, for anything else under the path.
std::unique_ptr<FileStream> openFileStream(const std::wstring& path, int flags, ErrorCode& error);
// An open descriptor as a stream, which closes it.
std::unique_ptr<FileStream> streamOf(int descriptor);

// Opens the regular file a name leads to (links followed) for reading, and
// nothing else: a device, pipe or socket under the name is never opened, so
// no watchdog arms, no tape rewinds and no waiting writer wakes. Invalid, with
// the error set, otherwise (access denied for what is no regular file, file
// not found for a file of the run's own).
Descriptor openRegularFile(int directory, const char* name, ErrorCode& error);
// The path that opens the file a path-only descriptor pins, anew and for real.
std::string reopeningPath(int pinned);
// The same as a stream, for a path.
std::unique_ptr<FileStream> openRegularFileStream(const std::wstring& path, ErrorCode& error);

}  // namespace platform::linux_layer
