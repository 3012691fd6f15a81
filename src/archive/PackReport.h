#pragma once
#include "platform/Console.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"

#include <string>

namespace SevenZip {

// Packs the report into "<name>.tavisk" beside it; the report itself stays. On
// failure the operator is told and asked for Enter, and the result is false.
bool packReport(const std::wstring& intermediatePath, platform::DynamicLibraries& libraries,
                platform::FileStreams& files, platform::Console& console);

}  // namespace SevenZip
