#pragma once
#include "platform/FileStreams.h"

#include <windows.h>

#include <memory>
#include <string>

namespace platform::win32 {

// Opens a file on disk as a stream with CreateFileW's arguments; nothing, with
// the error set, for anything else under the path or for a file of the run's own.
std::unique_ptr<FileStream> openFileStream(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                           DWORD flags, ErrorCode& error);
// An open handle as a stream, which closes it.
std::unique_ptr<FileStream> streamOf(HANDLE file);

}  // namespace platform::win32
