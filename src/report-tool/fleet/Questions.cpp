#include "report-tool/fleet/Questions.h"

#include "report-tool/fleet/RecordTables.h"

#include <charconv>

namespace fleet {
namespace {

// The columns of a table that say what the machine is, not how busy it was.
std::string lastingColumns(const RecordTable& table) {
    std::string list;
    for (const Column& column : table.columns)
        if (!column.moving) list += (list.empty() ? "" : ", ") + std::string(column.name);
    return list;
}

std::string rowsOnlyIn(const RecordTable& table, const char* report, const char* other) {
    const std::string columns = lastingColumns(table);
    return "(SELECT COUNT(*) FROM (SELECT " + columns + " FROM " + table.name + " WHERE report_id = c." + report +
           " EXCEPT SELECT " + columns + " FROM " + table.name + " WHERE report_id = c." + other + ") d)";
}

// Per computer and kind of record: rows of the latest report that the report
// of a month before lacks, and the other way round. Moving figures (free space,
// load, uptime, ...) are left out.
std::string changesSql() {
    std::string kinds;
    for (const RecordTable& table : recordTables()) {
        if (lastingColumns(table).empty()) continue;
        kinds += std::string(kinds.empty() ? "" : "\n  UNION ALL\n") + "  SELECT c.computer, c.old_id, c.new_at, '" +
                 table.name + "' AS kind,\n    " + rowsOnlyIn(table, "new_id", "old_id") + " AS added,\n    " +
                 rowsOnlyIn(table, "old_id", "new_id") + " AS removed\n  FROM compared c WHERE c.old_id IS NOT NULL";
    }
    return "WITH compared AS (\n"
           "  SELECT l.computer, l.id AS new_id, l.collected_at AS new_at,\n"
           "    (SELECT o.id FROM report o WHERE o.computer = l.computer\n"
           "       AND o.collected_at <= l.collected_at - 30 * 86400\n"
           "     ORDER BY o.collected_at DESC, o.id DESC LIMIT 1) AS old_id\n"
           "  FROM latest_report l WHERE $1 = '' OR l.computer = $1\n"
           "), changes AS (\n" +
           kinds +
           "\n)\n"
           "SELECT ch.computer, o.collected_at AS since_at, ch.new_at AS latest_at, ch.kind, ch.added, ch.removed\n"
           "FROM changes ch JOIN report o ON o.id = ch.old_id\n"
           "WHERE ch.added > 0 OR ch.removed > 0\n"
           "ORDER BY ch.computer, ch.kind";
}

const std::vector<Question> shipped = {
    {"dll-version",
     "Rechner mit der Datei DATEI (Name ohne Pfad, z. B. kernel32.dll) und ihrer Version, mit VERSION nur die mit "
     "dieser Dateiversion",
     {{"DATEI", Argument::Kind::fileName}, {"VERSION", Argument::Kind::text, true}},
     false,
     "SELECT r.computer, f.path, f.file_version, f.product_version\n"
     "FROM latest_report r JOIN file_property f ON f.report_id = r.id\n"
     "WHERE f.file_name = $1 AND f.file_version IS NOT NULL AND ($2 = '' OR f.file_version = $2)\n"
     "ORDER BY r.computer, f.path"},
    {"automatic-stopped",
     "Dienste mit automatischem Start, die angehalten sind",
     {},
     false,
     "SELECT r.computer, s.name, s.display_name, s.start_type\n"
     "FROM latest_report r JOIN service s ON s.report_id = r.id\n"
     "WHERE s.state = 'stopped' AND s.start_type LIKE 'Automatisch%'\n"
     "ORDER BY r.computer, s.name"},
    {"full-disks",
     "Datentraeger, die zu mehr als PROZENT (Vorgabe 90) belegt sind",
     {{"PROZENT", Argument::Kind::number, true, "90"}},
     false,
     "SELECT r.computer, d.path, d.free_gib, d.total_gib,\n"
     "  ROUND(100 * (d.total_gib - d.free_gib) / d.total_gib) AS used_percent\n"
     "FROM latest_report r JOIN disk d ON d.report_id = r.id\n"
     "WHERE d.total_gib > 0 AND 100 * (d.total_gib - d.free_gib) > CAST($1 AS DOUBLE PRECISION) * d.total_gib\n"
     "ORDER BY used_percent DESC, r.computer, d.path"},
    {"administrators",
     "Mitglieder der lokalen Administratoren (Konten mit Administratorrechten, getUser-Gruppen)",
     {},
     false,
     "SELECT r.computer, a.name AS account, 'localuser' AS source\n"
     "FROM latest_report r JOIN local_account a ON a.report_id = r.id\n"
     "WHERE a.privilege = 'administrator'\n"
     "UNION\n"
     "SELECT r.computer, g.account, g.group_name\n"
     "FROM latest_report r JOIN group_membership g ON g.report_id = r.id\n"
     "WHERE g.group_name IN ('Administrators', 'Administratoren', 'sudo', 'wheel', 'admin')\n"
     "ORDER BY 1, 2"},
    {"changes",
     "was sich seit dem Bericht einen Monat zuvor geaendert hat, je Rechner und Art: Zeilen hinzu und weg",
     {{"COMPUTER", Argument::Kind::text, true}},
     true,
     changesSql()},
};

}  // namespace

std::span<const Question> questions() { return shipped; }

const Question* findQuestion(const std::string& name) {
    for (const Question& question : shipped)
        if (question.name == name) return &question;
    return nullptr;
}

std::optional<std::string> parameterOf(const Argument& argument, const std::string& given) {
    switch (argument.kind) {
        case Argument::Kind::fileName:
            return fileNameKey(given);
        case Argument::Kind::number: {
            double number = 0;
            const auto [end, error] = std::from_chars(given.data(), given.data() + given.size(), number);
            if (error != std::errc() || end != given.data() + given.size() || given.empty()) return std::nullopt;
            return given;
        }
        case Argument::Kind::text:
            break;
    }
    return given;
}

}  // namespace fleet
