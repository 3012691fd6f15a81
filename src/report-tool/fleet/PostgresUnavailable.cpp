#include "report-tool/fleet/Database.h"

// The Windows builds carry no PostgreSQL client.
namespace fleet {

std::unique_ptr<Database> openPostgresDatabase(const std::string&) {
    throw DatabaseError("PostgreSQL-Server erreicht nur das tavisk-report fuer Linux; unter Windows laedt und "
                        "befragt es eine SQLite-Datei");
}

}  // namespace fleet
