#pragma once
#include "report-tool/fleet/Database.h"

namespace fleet {

// The version of the schema this program writes and reads.
inline constexpr int schemaVersion = 2;

// Brings the database to this program's schema, one transaction for all steps:
// a new database is created, an older one upgraded. A newer one is left alone
// and refused (DatabaseError, German). Without create, a database without the
// schema is refused too.
void prepareSchema(Database& database, bool create);

// The statements that create the current schema, from the record tables' descriptions.
std::vector<std::string> schemaStatements(const Database& database);

}  // namespace fleet
