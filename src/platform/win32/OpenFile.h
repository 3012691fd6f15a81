#pragma once
#include "platform/FileStreams.h"

#include <windows.h>

#include <memory>
#include <string>

namespace platform::win32 {

// Opens a file on disk as a stream with CreateFileW's arguments; nothing, with
// the error set, for anything else under the path.
std::unique_ptr<FileStream> openFileStream(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                           DWORD flags, ErrorCode& error);
// An open handle as a stream, which closes it.
std::unique_ptr<FileStream> streamOf(HANDLE file);

// The attributes of an open file or folder. Not GetFileInformationByHandle: its
// volume serial number is a round trip to another process under Wine.
bool attributesOf(HANDLE file, DWORD& attributes);

// Opens a file on a volume for reading, shared with readers and writers, and
// nothing else: a path into the device namespace (a pipe, a port, the console)
// is refused before any call touches it, and a link at the end of the path is
// opened as itself, never followed. While the handle is held the file cannot
// be renamed or deleted, so its path keeps leading to it. The invalid handle,
// with the error set, otherwise (access denied for what is no such file, file
// not found for a file of the run's own).
HANDLE openFileOnVolume(const std::wstring& path, ErrorCode& error);
// The same as a stream.
std::unique_ptr<FileStream> openFileStreamForReading(const std::wstring& path, ErrorCode& error);

}  // namespace platform::win32
