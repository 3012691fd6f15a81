#pragma once
#include <windows.h>

#include <string>

namespace platform::win32 {

// The files the run created for itself and has neither published nor removed.
// They are kept here so that closing the console can remove them and a request cannot read them.
namespace own_files {

// Creates a new file under a private name in the directory (a path ending in a
// separator, or empty for the current one), never through a reparse point; the
// handle, or INVALID_HANDLE_VALUE with the last error set.
HANDLE create(const std::wstring& directory, std::wstring& path);
// Renames an own file; replace false never replaces what is under the target.
BOOL publish(const std::wstring& path, const std::wstring& target, bool replace);
// The file stays where it is, and is the run's own no longer.
void keep(const std::wstring& path);
void remove(const std::wstring& path);
// True when the open file is one of the run's own.
bool holds(HANDLE file);
// Removes them all; the process is about to end.
void removeAll();

}  // namespace own_files
}  // namespace platform::win32
