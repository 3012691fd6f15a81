#include "platform/Native.h"
#include "report-tool/ReportTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments = platform::nativeHost().commandLine(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    reporttool::ToolEnvironment environment{platform::nativeConsole(), platform::nativeFileStreams(),
                                            platform::nativeDynamicLibraries()};
    return reporttool::runReportTool(arguments, environment);
}
