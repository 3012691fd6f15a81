#include "platform/Native.h"
#include "platform/win32/OwnFiles.h"

#include <windows.h>

namespace platform {
namespace {

// Ctrl+C, Ctrl+Break and closing the console: the run's own files go, then the
// process ends as the console would have ended it, unless the run's result is already in place.
BOOL WINAPI onConsoleEnding(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    ExitProcess(win32::own_files::removeAll() ? 0 : STATUS_CONTROL_C_EXIT);
}

}  // namespace

// Windows hands a program no closed standard handle as a file, and a console
// that went away fails writes instead of ending the program: the console events
// are all there is to guard. Windows has no limits that end a process by a signal.
bool guardProcess() {
    SetConsoleCtrlHandler(onConsoleEnding, TRUE);
    return true;
}

}  // namespace platform
