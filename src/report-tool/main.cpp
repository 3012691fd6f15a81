#include "platform/Native.h"
#include "report-tool/ReportTool.h"

int main(int argc, char** argv) {
    // The page being written is removed again when a signal ends the run.
    if (!platform::guardProcess()) {
        platform::nativeConsole().writeNarrowError("tavisk-report: es konnte kein Thread gestartet werden.\n");
        return 2;
    }
    std::vector<std::string> arguments = platform::nativeHost().commandLine(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    reporttool::ToolEnvironment environment{platform::nativeConsole(), platform::nativeFileSystem(),
                                            platform::nativeDynamicLibraries(), platform::nativeFileStreams(),
                                            platform::nativeFolders(), platform::nativeCryptography()};
    return reporttool::runReportTool(arguments, environment);
}
