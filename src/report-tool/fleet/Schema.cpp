#include "report-tool/fleet/Schema.h"

namespace fleet {
namespace {

std::string columnList(const std::vector<const char*>& columns, const char* separator) {
    std::string list;
    for (const char* column : columns) list += (list.empty() ? "" : separator) + std::string(column);
    return list;
}

void appendRecordTable(const Database& database, const RecordTable& table, std::vector<std::string>& statements) {
    std::string create = std::string("CREATE TABLE ") + table.name + " (report_id BIGINT NOT NULL";
    for (const Column& column : table.columns)
        create += std::string(", ") + column.name + " " + database.sqlType(column.type);
    statements.push_back(create + ")");
    statements.push_back(std::string("CREATE INDEX ") + table.name + "_report ON " + table.name + " (report_id)");
    for (const RecordTable::Index& index : table.indexes)
        statements.push_back(std::string("CREATE INDEX ") + table.name + "_" + columnList(index.columns, "_") + " ON " +
                             table.name + " (" + columnList(index.columns, ", ") + ")" +
                             (index.condition ? std::string(" WHERE ") + index.condition : ""));
    statements.push_back(std::string("CREATE VIEW latest_") + table.name +
                         " AS SELECT r.computer, r.collected_at, t.* FROM latest_report r JOIN " + table.name +
                         " t ON t.report_id = r.id");
}

// What brings a database of version FROM to the next. A change to a table's
// description raises the version and adds its step here.
std::vector<std::string> upgradeStatements(const Database& database, int from) {
    std::vector<std::string> statements;
    for (const RecordTable& table : recordTables())
        if (from == 1 && std::string_view(table.name) == "unreadable") appendRecordTable(database, table, statements);
    return statements;
}

int storedVersion(Database& database) {
    if (!database.hasTable("schema_version")) return 0;
    const QueryResult result = database.query("SELECT MAX(version) FROM schema_version");
    return result.rows.empty() || !result.rows[0][0] ? 0 : std::stoi(*result.rows[0][0]);
}

// What the stored version allows; throws where it allows nothing.
bool needsChange(int version, bool create) {
    if (version > schemaVersion)
        throw DatabaseError("Die Datenbank hat die Schema-Version " + std::to_string(version) +
                            ", dieses tavisk-report kennt nur bis " + std::to_string(schemaVersion) +
                            ". Bitte ein neueres tavisk-report verwenden; die Datenbank bleibt unveraendert.");
    if (version == 0 && !create)
        throw DatabaseError("Die Datenbank enthaelt noch keine Berichte (zuerst 'tavisk-report load').");
    return version < schemaVersion;
}

}  // namespace

std::vector<std::string> schemaStatements(const Database& database) {
    const std::string text = database.sqlType(ColumnType::text);
    std::vector<std::string> statements = {
        "CREATE TABLE schema_version (version INTEGER NOT NULL)",
        "CREATE TABLE report (" + database.identityColumn() + ", computer " + text + " NOT NULL, account " + text +
            " NOT NULL, collected_at BIGINT NOT NULL, archive_name " + text + " NOT NULL, archive_sha256 " + text +
            " NOT NULL UNIQUE, loaded_at BIGINT NOT NULL, row_count BIGINT NOT NULL DEFAULT 0)",
        "CREATE INDEX report_computer ON report (computer, collected_at)",
        // The newest report of each computer; of two collected at the same second, the later loaded.
        "CREATE VIEW latest_report AS SELECT * FROM report r WHERE NOT EXISTS (SELECT 1 FROM report n"
        " WHERE n.computer = r.computer AND (n.collected_at > r.collected_at"
        " OR (n.collected_at = r.collected_at AND n.id > r.id)))",
    };
    for (const RecordTable& table : recordTables()) appendRecordTable(database, table, statements);
    return statements;
}

void prepareSchema(Database& database, bool create) {
    // The usual case reads the version only, so that a question never waits for a load.
    if (!needsChange(storedVersion(database), create)) return;
    database.begin();
    try {
        database.lockSchema();
        const int version = storedVersion(database);  // another program may have changed it meanwhile
        if (needsChange(version, create)) {
            if (version == 0) {
                for (const std::string& statement : schemaStatements(database)) database.execute(statement);
            } else {
                for (int from = version; from < schemaVersion; ++from)
                    for (const std::string& statement : upgradeStatements(database, from)) database.execute(statement);
            }
            database.execute("DELETE FROM schema_version");
            database.execute("INSERT INTO schema_version (version) VALUES (" + std::to_string(schemaVersion) + ")");
        }
        database.commit();
    } catch (...) {
        database.rollback();
        throw;
    }
}

}  // namespace fleet
