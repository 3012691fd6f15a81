#pragma once
#include "platform/Accounts.h"
#include "platform/Console.h"
#include "platform/FileQueries.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/MachineState.h"
#include "platform/Registry.h"
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
// The system collector's areas.
Volumes& nativeVolumes();
MachineState& nativeMachineState();
Accounts& nativeAccounts();

}  // namespace platform
