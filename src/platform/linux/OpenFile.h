#pragma once
#include "platform/FileStreams.h"

#include <memory>
#include <string>

namespace platform::linux_layer {

// Opens a regular file as a stream with open(2) flags; nothing, with the error
// set, for anything else under the path or for a file of the run's own.
std::unique_ptr<FileStream> openFileStream(const std::wstring& path, int flags, ErrorCode& error);
// An open descriptor as a stream, which closes it.
std::unique_ptr<FileStream> streamOf(int descriptor);

}  // namespace platform::linux_layer
