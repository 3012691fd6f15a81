#pragma once
#include "read/ReportParser.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"

#include <string>

namespace report {

// Feeds the report in FILE to the parser and finishes it: a ".tavisk" archive
// (recognised by its signature, not its name) is streamed through the engine,
// which must hold exactly one file; anything else is read as the report itself.
// Nothing is written to disk. Throws ReportError.
void readReport(const std::wstring& path, platform::FileStreams& files, platform::DynamicLibraries& libraries,
                ReportParser& parser);

}  // namespace report
