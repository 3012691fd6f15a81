#pragma once
#include <windows.h>

#include <string>

namespace platform::win32 {

// The files the run created for itself and has neither published nor removed,
// each by its folder's handle and its name there. They are kept here so that
// closing the console can remove them and a request cannot read them.
namespace own_files {

// Creates a new file under a private name in the folder, never through a
// reparse point; the handle, or INVALID_HANDLE_VALUE with the last error set.
HANDLE create(HANDLE folder, std::wstring& name);
// Renames an own file in its folder; replace false never replaces what is under the target.
BOOL publish(HANDLE folder, const std::wstring& name, const std::wstring& target, bool replace);
// Publishes the run's result, replacing what is under the target; from then on
// the run has succeeded.
BOOL publishResult(HANDLE folder, const std::wstring& name, const std::wstring& target);
// The file stays where it is, and is the run's own no longer.
void keep(HANDLE folder, const std::wstring& name);
void remove(HANDLE folder, const std::wstring& name);
// True when the open file is one of the run's own.
bool holds(HANDLE file);
// Removes them all; the process is about to end. True when the run's result is in place.
bool removeAll();

}  // namespace own_files
}  // namespace platform::win32
