#pragma once
#include "platform/Console.h"
#include "platform/FileQueries.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace platform {

// The implementations for the operating system the tool was built for.
Host& nativeHost();
Console& nativeConsole();
FileSystem& nativeFileSystem();
FileQueries& nativeFileQueries();
Registry& nativeRegistry();
DynamicLibraries& nativeDynamicLibraries();
FileStreams& nativeFileStreams();
Services& nativeServices();

}  // namespace platform
