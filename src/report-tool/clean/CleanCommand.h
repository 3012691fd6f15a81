#pragma once
#include "report-tool/ReportTool.h"

#include <string>
#include <vector>

namespace clean {

// "tavisk-report clean": the command line after "clean", UTF-8.
int runClean(const std::vector<std::string>& arguments, reporttool::ToolEnvironment& environment);

}  // namespace clean
