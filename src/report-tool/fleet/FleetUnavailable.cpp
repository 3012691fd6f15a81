#include "report-tool/FleetCommands.h"

// Builds without SQLite and libpq (the Windows builds) answer the fleet commands with this.
namespace reporttool {

bool isFleetCommand(const std::string& command) { return command == "load" || command == "query"; }

int runFleetCommand(const std::vector<std::string>& arguments, ToolEnvironment& environment) {
    writeText(environment.console,
              "tavisk-report: '" + arguments.at(0) +
                  "' gibt es in dieser Ausgabe nicht: die Flottendatenbank (SQLite, PostgreSQL) laedt und "
                  "befragt das tavisk-report fuer Linux.\n",
              true);
    return failed;
}

}  // namespace reporttool
