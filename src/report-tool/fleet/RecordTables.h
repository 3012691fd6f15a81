#pragma once
#include "read/ReportRecord.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fleet {

enum class ColumnType { text, integer, real, bytes };

// One cell of a row. Texts and bytes point into the record the row comes from.
struct Value {
    enum class Kind { null, integer, real, text, bytes };
    Kind kind = Kind::null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view text = {};

    static Value ofText(std::string_view text) { return {Kind::text, 0, 0, text}; }
    static Value ofBytes(std::string_view bytes) { return {Kind::bytes, 0, 0, bytes}; }
    static Value ofInteger(std::int64_t number) { return {Kind::integer, number, 0, {}}; }
    static Value ofReal(double number) { return {Kind::real, 0, number, {}}; }
};

// What a row of a record table is made from: the record and which of its rows
// (a group membership gives one row per group).
struct RowSource {
    const report::Record& record;
    std::size_t item;
    std::uint64_t keptContents;  // file contents longer than this are only measured
    std::string& scratch;        // holds a text the column computes
};

struct Column {
    const char* name;
    ColumnType type;
    Value (*value)(const RowSource& source);
    // A figure that moves between two runs of an unchanged machine.
    bool moving = false;
};

// One table per kind of record. Every table starts with the column report_id
// (not listed here); its rows are the successful elements of its kind, while
// failed elements of every kind go to the table "failure".
struct RecordTable {
    const char* name;
    std::vector<std::string_view> elements;  // the report elements it holds
    std::vector<Column> columns;
    // Its indexes besides the one on report_id; a condition limits one to the rows it holds.
    struct Index {
        std::vector<const char*> columns;
        const char* condition = nullptr;
    };
    std::vector<Index> indexes = {};
    // Rows of a record: one unless the record lists several items.
    std::size_t (*rowCount)(const report::Record& record) = nullptr;

    std::size_t rowsOf(const report::Record& record) const { return rowCount ? rowCount(record) : 1; }
};

// Every record table, in the order their elements appear in a report.
std::span<const RecordTable> recordTables();
// The table of a record, or nothing for the computer line.
const RecordTable* tableFor(const report::Record& record);
const RecordTable& failureTable();

// The last part of a path, its letters A-Z lower-cased: how a file is asked for
// by name on every machine.
std::string fileNameKey(std::string_view path);

}  // namespace fleet
