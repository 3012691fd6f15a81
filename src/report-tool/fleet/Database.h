#pragma once
#include "report-tool/fleet/RecordTables.h"

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace fleet {

// The database refused or failed; the message is the back end's own.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Rows of a query as texts; NULL is nothing.
struct QueryResult {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// What the loader and the questions need of a database. Both back ends take
// the same SQL; they differ only in the few spellings asked for here.
class Database {
public:
    virtual ~Database() = default;

    virtual std::string sqlType(ColumnType type) const = 0;
    // The definition of the report's key column "id", numbered by the database.
    virtual std::string identityColumn() const = 0;
    // Whether the database already holds this table.
    virtual bool hasTable(const std::string& name) = 0;

    virtual void execute(const std::string& sql) = 0;
    // Parameters are texts, written $1, $2, ... in the SQL; real numbers come
    // back in their shortest exact form on both back ends.
    virtual QueryResult query(const std::string& sql, const std::vector<std::string>& parameters = {}) = 0;

    // A write transaction. Begin waits while another writer holds the database
    // (a file database for a while only, then it fails saying it is busy).
    virtual void begin() = 0;
    virtual void commit() = 0;
    // Never throws: it runs where something already failed.
    virtual void rollback() noexcept = 0;
    // Inside a transaction: no other program changes the schema until it ends.
    virtual void lockSchema() = 0;

    // One row of a record table in the running transaction: report_id first,
    // then the table's columns. Rows go in by the fastest path the back end has.
    virtual void insert(const RecordTable& table, std::span<const Value> row) = 0;
};

// A "postgresql://" (or "postgres://") connection string names a server;
// anything else is the path of a database file.
inline bool isServerLocation(const std::string& location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}
// The file must exist (an empty file becomes a new database) and be no link.
// Read only, nothing is written or created beside it.
std::unique_ptr<Database> openSqliteDatabase(const std::string& path, bool readOnly);
std::unique_ptr<Database> openPostgresDatabase(const std::string& connection);

}  // namespace fleet
