#pragma once
#include "platform/Accounts.h"
#include "platform/Console.h"
#include "platform/Cryptography.h"
#include "platform/FileQueries.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Host.h"
#include "platform/MachineState.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "platform/Volumes.h"

namespace platform {

// The implementations for the operating system the tool was built for.
Host& nativeHost();
Console& nativeConsole();
FileSystem& nativeFileSystem();
FileQueries& nativeFileQueries();
Registry& nativeRegistry();
DynamicLibraries& nativeDynamicLibraries();
FileStreams& nativeFileStreams();
Folders& nativeFolders();
// The system collector's areas.
Volumes& nativeVolumes();
MachineState& nativeMachineState();
Accounts& nativeAccounts();
// The service collector's area.
Services& nativeServices();
// Sealing's primitives and the digest that names a loaded archive.
Cryptography& nativeCryptography();

// Readies the process for a run: the standard descriptors are valid, a console
// that went away never ends it, and an interrupt, termination, hang-up or
// exceeded processor limit (on Windows Ctrl+C, Ctrl+Break and closing the
// console) removes the run's own files before the process ends with the status
// such an ending conventionally has, or 0 once the run's result is in place.
// False when the thread that waits for those endings could not be started.
bool guardProcess();

}  // namespace platform
