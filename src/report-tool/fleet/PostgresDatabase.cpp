#include "report-tool/fleet/Database.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>

namespace fleet {
namespace {

// Seconds a connection may take, unless the user sets a limit.
constexpr const char* defaultConnectTimeout = "30";

// Rows are sent to the server in pieces of about this size.
constexpr std::size_t copyPieceSize = 1u << 20;

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

void appendNumber(std::string& out, auto number) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number);
    out.append(text, result.ptr);
}

// A text in COPY's text format: the separators and the escape character escaped.
void appendCopyText(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

// Bytes as bytea's hex form, its backslash escaped for COPY.
void appendCopyBytes(std::string& out, std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\\\x";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
}

class PostgresDatabase final : public Database {
public:
    explicit PostgresDatabase(const std::string& connection) : connection_(connect(connection)) {
        if (!connection_ || PQstatus(connection_) != CONNECTION_OK) {
            std::string message = connection_ ? trimmed(PQerrorMessage(connection_)) : "kein Speicher";
            PQfinish(connection_);
            if (message.ends_with("timeout expired"))
                message = "der Server antwortet nicht (" + message + ")";
            throw DatabaseError("Verbindung zum PostgreSQL-Server fehlgeschlagen: " + message);
        }
        // Notices such as "already exists, skipping" are nothing for the user.
        PQsetNoticeProcessor(
            connection_, [](void*, const char*) {}, nullptr);
        try {
            execute("SET client_encoding = 'UTF8'");
        } catch (...) {
            PQfinish(connection_);
            throw;
        }
    }
    ~PostgresDatabase() override { PQfinish(connection_); }

    std::string sqlType(ColumnType type) const override {
        switch (type) {
            case ColumnType::integer:
                return "BIGINT";
            case ColumnType::real:
                return "DOUBLE PRECISION";
            case ColumnType::bytes:
                return "BYTEA";
            case ColumnType::text:
                break;
        }
        // Compared byte by byte, as SQLite does: the same order on every server, and faster indexes.
        return "TEXT COLLATE \"C\"";
    }
    std::string identityColumn() const override { return "id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY"; }

    // Read from the catalog's rows, not its cache: a table that another program created
    // while this one waited for the schema's lock is seen.
    bool hasTable(const std::string& name) override {
        return !query("SELECT 1 FROM pg_catalog.pg_class WHERE relname = $1 AND relnamespace ="
                      " (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema())",
                      {name})
                    .rows.empty();
    }

    void execute(const std::string& sql) override {
        endCopy();
        check(Result(PQexec(connection_, sql.c_str())));
    }

    QueryResult query(const std::string& sql, const std::vector<std::string>& parameters) override {
        endCopy();
        std::vector<const char*> values;
        for (const std::string& parameter : parameters) values.push_back(parameter.c_str());
        const Result result = check(Result(PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()),
                                                        nullptr, values.data(), nullptr, nullptr, 0)));
        QueryResult answer;
        const int columns = PQnfields(result.get());
        for (int column = 0; column < columns; ++column) answer.columns.emplace_back(PQfname(result.get(), column));
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            auto& cells = answer.rows.emplace_back();
            for (int column = 0; column < columns; ++column) {
                if (PQgetisnull(result.get(), row, column))
                    cells.emplace_back();
                else
                    cells.emplace_back(std::string(PQgetvalue(result.get(), row, column),
                                                   static_cast<std::size_t>(PQgetlength(result.get(), row, column))));
            }
        }
        return answer;
    }

    void begin() override { execute("BEGIN"); }
    void commit() override { execute("COMMIT"); }
    void rollback() noexcept override {
        if (copying_) PQputCopyEnd(connection_, "abgebrochen");
        copying_ = nullptr;
        copyBuffer_.clear();
        while (PGresult* pending = PQgetResult(connection_)) PQclear(pending);
        PQclear(PQexec(connection_, "ROLLBACK"));
    }
    // Any number to hold: the schema's changes take their turns.
    void lockSchema() override { execute("SELECT pg_advisory_xact_lock(7417)"); }

    // Rows of one table stream through one COPY until a row of another table,
    // or any other statement, comes.
    void insert(const RecordTable& table, std::span<const Value> row) override {
        if (copying_ != &table) startCopy(table);
        for (std::size_t index = 0; index < row.size(); ++index) {
            if (index > 0) copyBuffer_ += '\t';
            const Value& value = row[index];
            switch (value.kind) {
                case Value::Kind::null:
                    copyBuffer_ += "\\N";
                    break;
                case Value::Kind::integer:
                    appendNumber(copyBuffer_, value.integer);
                    break;
                case Value::Kind::real:
                    appendNumber(copyBuffer_, value.real);
                    break;
                case Value::Kind::text:
                    appendCopyText(copyBuffer_, value.text);
                    break;
                case Value::Kind::bytes:
                    appendCopyBytes(copyBuffer_, value.text);
                    break;
            }
        }
        copyBuffer_ += '\n';
        if (copyBuffer_.size() >= copyPieceSize) sendCopyBuffer();
    }

private:
    // A server that accepts and never answers would hold the load for good: unless the
    // connection string or PGCONNECT_TIMEOUT says otherwise, the wait ends after a while.
    static PGconn* connect(const std::string& connection) {
        const char* const timeout = std::getenv("PGCONNECT_TIMEOUT") ? nullptr : defaultConnectTimeout;
        // Keywords the connection string sets itself count over those before it.
        const char* const keywords[] = {"connect_timeout", "dbname", nullptr};
        const char* const values[] = {timeout, connection.c_str(), nullptr};
        return PQconnectdbParams(keywords, values, 1);
    }

    static std::string trimmed(std::string text) {
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        return text;
    }

    Result check(Result result) const {
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN) return result;
        throw DatabaseError(trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(connection_)));
    }

    void startCopy(const RecordTable& table) {
        endCopy();
        std::string sql = std::string("COPY ") + table.name + " (report_id";
        for (const Column& column : table.columns) sql += std::string(", ") + column.name;
        check(Result(PQexec(connection_, (sql + ") FROM STDIN").c_str())));
        copying_ = &table;
    }

    void sendCopyBuffer() {
        if (PQputCopyData(connection_, copyBuffer_.data(), static_cast<int>(copyBuffer_.size())) != 1)
            throw DatabaseError(trimmed(PQerrorMessage(connection_)));
        copyBuffer_.clear();
    }

    void endCopy() {
        if (!copying_) return;
        copying_ = nullptr;
        sendCopyBuffer();
        if (PQputCopyEnd(connection_, nullptr) != 1) throw DatabaseError(trimmed(PQerrorMessage(connection_)));
        Result failure;
        while (Result result{PQgetResult(connection_)}) {
            if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !failure) failure = std::move(result);
        }
        if (failure) check(std::move(failure));
    }

    PGconn* connection_;
    const RecordTable* copying_ = nullptr;
    std::string copyBuffer_;
};

}  // namespace

std::unique_ptr<Database> openPostgresDatabase(const std::string& connection) {
    return std::make_unique<PostgresDatabase>(connection);
}

}  // namespace fleet
