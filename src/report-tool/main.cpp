#include "platform/Native.h"
#include "report-tool/ReportTool.h"

int main(int argc, char** argv) {
    // The page being written is removed again when a signal ends the run.
    platform::guardProcess();
    std::vector<std::string> arguments = platform::nativeHost().commandLine(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    reporttool::ToolEnvironment environment{platform::nativeConsole(), platform::nativeFileSystem(),
                                            platform::nativeDynamicLibraries(), platform::nativeFileStreams(),
                                            platform::nativeCryptography()};
    return reporttool::runReportTool(arguments, environment);
}
