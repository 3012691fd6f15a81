#pragma once
#include "read/ReportParser.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileSystem.h"

#include <memory>
#include <string>

namespace report {

// Feeds the report in FILE to the parser and finishes it: a ".tavisk" archive
// (recognised by its signature, not its name) is streamed through the engine,
// which must hold exactly one file; anything else is read as the report itself.
// Only a regular file is opened, and nothing is written to disk. Throws ReportError.
void readReport(const std::wstring& path, const platform::FileSystem& files, platform::DynamicLibraries& libraries,
                ReportParser& parser);
// The same from a file already open, read from its start.
void readReport(std::unique_ptr<platform::FileStream> file, platform::DynamicLibraries& libraries, ReportParser& parser);

}  // namespace report
