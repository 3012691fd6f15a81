#pragma once
#include "report-tool/ReportTool.h"

#include <string>
#include <vector>

namespace reporttool {

// "load" and "query": the fleet database. The arguments start with the command.
bool isFleetCommand(const std::string& command);
int runFleetCommand(const std::vector<std::string>& arguments, ToolEnvironment& environment);

}  // namespace reporttool
