#pragma once
#include "platform/Console.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace reporttool {

struct ToolEnvironment {
    platform::Console& console;
    platform::FileSystem& files;
    platform::DynamicLibraries& libraries;
};

// Exit status: 0 done, 1 differences found ("diff"), 2 anything that went wrong.
enum ExitStatus { done = 0, differencesFound = 1, failed = 2 };

// The command line after the program's name, UTF-8.
int runReportTool(const std::vector<std::string>& arguments, ToolEnvironment& environment);

}  // namespace reporttool
