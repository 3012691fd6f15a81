#include "report-tool/fleet/Database.h"

#include <sqlite3.h>

#include <charconv>
#include <map>

namespace fleet {
namespace {

// A writer waits this long for another one before the database counts as busy.
constexpr int busyTimeoutMilliseconds = 60'000;

// The error of the connection's last call; a writer that waited in vain is named as such.
[[noreturn]] void fail(sqlite3* connection, const std::string& message) {
    if ((sqlite3_extended_errcode(connection) & 0xFF) == SQLITE_BUSY)
        throw DatabaseError("belegt: ein anderes Programm schreibt seit " +
                            std::to_string(busyTimeoutMilliseconds / 1000) + " s in die Datenbank");
    throw DatabaseError(message);
}

class Statement {
public:
    Statement(sqlite3* connection, const std::string& sql) {
        if (sqlite3_prepare_v2(connection, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) !=
            SQLITE_OK)
            fail(connection, sqlite3_errmsg(connection));
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }
    sqlite3_stmt* get() const { return statement_; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

// An empty text or blob still needs a pointer, or SQLite binds NULL.
const char* dataOf(std::string_view bytes) { return bytes.data() ? bytes.data() : ""; }

std::string realText(double number) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return std::string(text, result.ptr);
}

// A URI's path with the characters that end or escape it written as escapes.
std::string uriOf(const std::string& path, const char* parameters) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            uri += '%';
            uri += digits[static_cast<unsigned char>(c) >> 4];
            uri += digits[c & 15];
        } else {
            uri += c;
        }
    }
    return uri + "?" + parameters;
}

bool fileExists(const std::string& path) {
    sqlite3_vfs* const files = sqlite3_vfs_find(nullptr);
    int exists = 0;
    return files->xAccess(files, path.c_str(), SQLITE_ACCESS_EXISTS, &exists) == SQLITE_OK && exists;
}

class SqliteDatabase final : public Database {
public:
    SqliteDatabase(const std::string& path, bool readOnly) : path_(path), readOnly_(readOnly) {
        // Before SQLite starts up: no global lock around every allocation for statistics nobody reads.
        static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        (void)unused;
        open();
    }
    ~SqliteDatabase() override { close(); }

    std::string sqlType(ColumnType type) const override {
        switch (type) {
            case ColumnType::integer:
                return "INTEGER";
            case ColumnType::real:
                return "REAL";
            case ColumnType::bytes:
                return "BLOB";
            case ColumnType::text:
                break;
        }
        return "TEXT";
    }
    std::string identityColumn() const override { return "id INTEGER PRIMARY KEY"; }

    bool hasTable(const std::string& name) override {
        return !query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = $1", {name}).rows.empty();
    }

    void execute(const std::string& sql) override {
        char* message = nullptr;
        if (sqlite3_exec(connection_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
        const std::string text = message ? message : sqlite3_errmsg(connection_);
        sqlite3_free(message);
        fail(connection_, text);
    }

    QueryResult query(const std::string& sql, const std::vector<std::string>& parameters) override {
        QueryResult result = ask(sql, parameters);
        // A loader that began meanwhile may have moved pages under the unlocked reader: asked again, with locks.
        if (!unlocked_ || !fileExists(path_ + "-wal")) return result;
        close();
        open();
        return ask(sql, parameters);
    }

    // IMMEDIATE: the write lock is taken at the start, so two loaders queue up
    // here instead of failing halfway through an archive.
    void begin() override { execute("BEGIN IMMEDIATE"); }
    void commit() override { execute("COMMIT"); }
    void rollback() noexcept override {
        if (!sqlite3_get_autocommit(connection_)) sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void lockSchema() override {}  // the transaction holds the only write lock already

    void insert(const RecordTable& table, std::span<const Value> row) override {
        sqlite3_stmt* const handle = insertStatement(table);
        for (std::size_t index = 0; index < row.size(); ++index) bind(handle, static_cast<int>(index + 1), row[index]);
        const int status = sqlite3_step(handle);
        sqlite3_reset(handle);
        if (status != SQLITE_DONE) fail(connection_, sqlite3_errmsg(connection_));
    }

private:
    void open() {
        // A reader writes nothing. Where no loader is at work (no write-ahead log beside the
        // file) it reads without locks, as locking would create the log and its index; where
        // one is, their files are there already.
        unlocked_ = readOnly_ && !fileExists(path_ + "-wal");
        const std::string name = readOnly_ ? uriOf(path_, unlocked_ ? "immutable=1" : "mode=ro") : path_;
        // One thread uses the connection: no locking around each call.
        const int flags = (readOnly_ ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI : SQLITE_OPEN_READWRITE) |
                          SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
        if (sqlite3_open_v2(name.c_str(), &connection_, flags, nullptr) != SQLITE_OK) {
            const std::string message = connection_ ? sqlite3_errmsg(connection_) : "kein Speicher";
            close();
            throw DatabaseError(path_ + ": " + message);
        }
        sqlite3_busy_timeout(connection_, busyTimeoutMilliseconds);
        if (readOnly_) return;
        try {
            setUpWriter();
        } catch (const DatabaseError& error) {
            close();
            throw DatabaseError(path_ + ": " + error.what());
        }
    }

    // Readers never wait for a writer, and a commit needs no flush to disk: a
    // crash may lose the last loads, never the database. Two loaders that turn a
    // new file to the write-ahead log at once would each wait for the other's
    // lock: SQLite refuses one at once instead, and that one tries again.
    void setUpWriter() {
        constexpr int pause = 10;
        for (int waited = 0;; waited += pause) {
            try {
                execute("PRAGMA page_size = 16384");
                execute("PRAGMA journal_mode = WAL");
                break;
            } catch (const DatabaseError&) {
                if ((sqlite3_extended_errcode(connection_) & 0xFF) != SQLITE_BUSY || waited >= busyTimeoutMilliseconds)
                    throw;
                sqlite3_sleep(pause);
            }
        }
        execute("PRAGMA synchronous = NORMAL");
        execute("PRAGMA foreign_keys = ON");
        execute("PRAGMA cache_size = -65536");
    }

    void close() {
        inserts_.clear();
        sqlite3_close(connection_);
        connection_ = nullptr;
    }

    QueryResult ask(const std::string& sql, const std::vector<std::string>& parameters) {
        const Statement statement(connection_, sql);
        sqlite3_stmt* const handle = statement.get();
        for (std::size_t number = 1; number <= parameters.size(); ++number) {
            const std::string placeholder = std::string("$").append(std::to_string(number));
            const int index = sqlite3_bind_parameter_index(handle, placeholder.c_str());
            const std::string& value = parameters[number - 1];
            if (index > 0)
                sqlite3_bind_text(handle, index, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
        }
        QueryResult result;
        const int columns = sqlite3_column_count(handle);
        for (int column = 0; column < columns; ++column)
            result.columns.emplace_back(sqlite3_column_name(handle, column));
        int status = SQLITE_ROW;
        while ((status = sqlite3_step(handle)) == SQLITE_ROW) {
            auto& row = result.rows.emplace_back();
            for (int column = 0; column < columns; ++column) row.push_back(cellText(handle, column));
        }
        if (status != SQLITE_DONE) fail(connection_, sqlite3_errmsg(connection_));
        return result;
    }

    static std::optional<std::string> cellText(sqlite3_stmt* handle, int column) {
        switch (sqlite3_column_type(handle, column)) {
            case SQLITE_NULL:
                return std::nullopt;
            case SQLITE_FLOAT:
                return realText(sqlite3_column_double(handle, column));
            default:
                break;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle, column));
        return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(handle, column)));
    }

    static void bind(sqlite3_stmt* handle, int index, const Value& value) {
        switch (value.kind) {
            case Value::Kind::null:
                sqlite3_bind_null(handle, index);
                break;
            case Value::Kind::integer:
                sqlite3_bind_int64(handle, index, value.integer);
                break;
            case Value::Kind::real:
                sqlite3_bind_double(handle, index, value.real);
                break;
            case Value::Kind::text:
                sqlite3_bind_text64(handle, index, dataOf(value.text), value.text.size(), SQLITE_STATIC, SQLITE_UTF8);
                break;
            case Value::Kind::bytes:
                sqlite3_bind_blob64(handle, index, dataOf(value.text), value.text.size(), SQLITE_STATIC);
                break;
        }
    }

    // Prepared once per table and connection.
    sqlite3_stmt* insertStatement(const RecordTable& table) {
        auto found = inserts_.find(&table);
        if (found != inserts_.end()) return found->second->get();
        std::string names = "report_id", places = "?";
        for (const Column& column : table.columns) {
            names += std::string(", ") + column.name;
            places += ", ?";
        }
        const std::string sql = std::string("INSERT INTO ") + table.name + " (" + names + ") VALUES (" + places + ")";
        return inserts_.emplace(&table, std::make_unique<Statement>(connection_, sql)).first->second->get();
    }

    const std::string path_;
    const bool readOnly_;
    bool unlocked_ = false;  // read as an unchanging file
    sqlite3* connection_ = nullptr;
    std::map<const RecordTable*, std::unique_ptr<Statement>> inserts_;
};

}  // namespace

std::unique_ptr<Database> openSqliteDatabase(const std::string& path, bool readOnly) {
    return std::make_unique<SqliteDatabase>(path, readOnly);
}

}  // namespace fleet
