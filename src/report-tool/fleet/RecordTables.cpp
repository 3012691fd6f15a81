#include "report-tool/fleet/RecordTables.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace fleet {
namespace {

using report::Record;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
    while (!text.empty() && (text.front() == '\n' || text.front() == ' ')) text.remove_prefix(1);
    return text;
}

std::string_view fieldOf(const Record& record, std::size_t index) {
    return index < record.fields.size() ? trimmed(record.fields[index]) : std::string_view();
}

// Texts that are empty say nothing: NULL.
Value textOrNull(std::string_view text) { return text.empty() ? Value{} : Value::ofText(text); }

// A figure as written, or NULL where the report has none (a failure text, "unknown").
Value integerOf(std::string_view text) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() ? Value::ofInteger(number)
                                                                                     : Value{};
}

// A decimal figure, optionally followed by "%".
Value realOf(std::string_view text) {
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    // "nan" and "inf" are no figures: nothing, on every back end alike.
    const bool figure = error == std::errc() && end == text.data() + text.size() && !text.empty();
    return figure && std::isfinite(number) ? Value::ofReal(number) : Value{};
}

template <std::size_t index>
Value text(const RowSource& source) {
    return textOrNull(fieldOf(source.record, index));
}
// "none" is what a file without a version resource shows.
template <std::size_t index>
Value version(const RowSource& source) {
    const std::string_view text = fieldOf(source.record, index);
    return text == "none" ? Value{} : textOrNull(text);
}
template <std::size_t index>
Value integer(const RowSource& source) {
    return integerOf(fieldOf(source.record, index));
}
template <std::size_t index>
Value real(const RowSource& source) {
    return realOf(fieldOf(source.record, index));
}
Value name(const RowSource& source) { return Value::ofText(source.record.name); }
Value attributeValue(const RowSource& source, const char* key) {
    for (const auto& [attribute, value] : source.record.attributes)
        if (attribute == key) return Value::ofText(value);
    return {};
}

Value registryType(const RowSource& source) { return attributeValue(source, "type"); }
// A key listed without values has neither type nor data.
Value registryData(const RowSource& source) {
    return source.record.fields.empty() ? Value{} : Value::ofText(source.record.fields[0]);
}

Value contentSize(const RowSource& source) {
    return Value::ofInteger(static_cast<std::int64_t>(source.record.contentSize));
}
// Contents beyond the limit were only measured: NULL beside their size.
Value contents(const RowSource& source) {
    return source.record.contentSize > source.keptContents ? Value{} : Value::ofBytes(source.record.fields[0]);
}

Value fileName(const RowSource& source) {
    source.scratch = fileNameKey(source.record.name);
    return Value::ofText(source.scratch);
}
Value requested(const RowSource& source) { return Value::ofInteger(source.record.element == "searchedproperties"); }

Value systemFigure(const RowSource& source, const char* key) {
    const Value value = attributeValue(source, key);
    return value.kind == Value::Kind::null ? value : integerOf(value.text);
}
Value handles(const RowSource& source) { return systemFigure(source, "handle"); }
Value uptime(const RowSource& source) { return systemFigure(source, "uptime"); }
Value processes(const RowSource& source) { return systemFigure(source, "processes"); }

// A user element names its groups; without any it still shows the account, with no group.
std::size_t groupCount(const Record& record) { return record.fields.empty() ? 1 : record.fields.size(); }
Value group(const RowSource& source) {
    return source.item < source.record.fields.size() ? textOrNull(source.record.fields[source.item]) : Value{};
}

Value section(const RowSource& source) { return textOrNull(source.record.section); }
Value firstLine(const RowSource& source) { return Value::ofInteger(static_cast<std::int64_t>(source.record.line)); }
Value lastLine(const RowSource& source) { return Value::ofInteger(static_cast<std::int64_t>(source.record.lastLine)); }
// Its start, as much as file contents keep.
Value rawText(const RowSource& source) {
    // A limit beyond what a 32-bit build can address keeps all, rather than wrapping round.
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(source.keptContents, SIZE_MAX));
    return Value::ofText(text::cutUtf8(source.record.fields[0], kept));
}

Value failedElement(const RowSource& source) { return Value::ofText(source.record.element); }
Value failureText(const RowSource& source) { return textOrNull(fieldOf(source.record, 0)); }

// Built at first use: the questions' SQL is made from them while statics are still being set up.
std::vector<RecordTable> describeTables() {
    return {
        {"registry_value",
         {"key"},
         {{"path", ColumnType::text, name},
          {"type", ColumnType::text, registryType},
          {"data", ColumnType::text, registryData}}},
        {"file_content",
         {"filecontent"},
         {{"path", ColumnType::text, name},
          {"size", ColumnType::integer, contentSize},
          {"content", ColumnType::bytes, contents}}},
        {"file_property",
         {"searchedproperties", "properties"},
         {{"path", ColumnType::text, name},
          {"file_name", ColumnType::text, fileName},
          {"last_write", ColumnType::integer, integer<0>},
          {"created", ColumnType::integer, integer<1>},
          {"size", ColumnType::integer, integer<2>},
          {"file_version", ColumnType::text, version<3>},
          {"product_version", ColumnType::text, version<4>},
          {"requested", ColumnType::integer, requested}},
         // Only files with a version are asked for by name: most listed files have none.
         {{{"file_name", "file_version"}, "file_version IS NOT NULL"}}},
        {"directory_entry",
         {"directory"},
         {{"path", ColumnType::text, name},
          {"last_write", ColumnType::integer, integer<0>},
          {"created", ColumnType::integer, integer<1>}}},
        {"system_figures",
         {"system"},
         {{"handles", ColumnType::integer, handles, true},
          {"uptime_ms", ColumnType::integer, uptime, true},
          {"processes", ColumnType::integer, processes, true}}},
        {"disk",
         {"disk"},
         {{"path", ColumnType::text, text<0>},
          {"free_gib", ColumnType::real, real<1>, true},
          {"total_gib", ColumnType::real, real<2>}}},
        {"memory",
         {"ram"},
         {{"load_percent", ColumnType::integer, integer<0>, true},
          {"total_gib", ColumnType::real, real<1>},
          {"free_gib", ColumnType::real, real<2>, true}}},
        {"operating_system",
         {"os"},
         {{"name", ColumnType::text, text<0>},
          {"bitness", ColumnType::text, text<1>},
          {"locale", ColumnType::text, text<2>}}},
        {"processor",
         {"cpu"},
         {{"name", ColumnType::text, text<0>},
          {"logical_processors", ColumnType::integer, integer<1>},
          {"load_percent", ColumnType::real, real<2>, true}}},
        {"local_account",
         {"localuser"},
         {{"name", ColumnType::text, name}, {"privilege", ColumnType::text, text<0>}},
         {{{"privilege"}}}},
        {"group_membership",
         {"user"},
         {{"account", ColumnType::text, name}, {"group_name", ColumnType::text, group}},
         {{{"group_name"}}},
         groupCount},
        {"service",
         {"service"},
         {{"name", ColumnType::text, name},
          {"display_name", ColumnType::text, text<0>},
          {"type", ColumnType::text, text<1>},
          {"state", ColumnType::text, text<2>},
          {"account", ColumnType::text, text<3>},
          {"start_type", ColumnType::text, text<4>}},
         {{{"state", "start_type"}}}},
        // Stretches of a report that could not be read; their lines move with what comes before.
        {"unreadable",
         {report::unreadable},
         {{"section", ColumnType::text, section},
          {"first_line", ColumnType::integer, firstLine, true},
          {"last_line", ColumnType::integer, lastLine, true},
          {"size", ColumnType::integer, contentSize},
          {"text", ColumnType::text, rawText}}},
        {"failure",
         {},
         {{"element", ColumnType::text, failedElement},
          {"request", ColumnType::text, name},
          {"text", ColumnType::text, failureText}}},
    };
}

}  // namespace

std::span<const RecordTable> recordTables() {
    static const std::vector<RecordTable> tables = describeTables();
    return tables;
}

const RecordTable& failureTable() { return recordTables().back(); }

const RecordTable* tableFor(const report::Record& record) {
    if (record.failure) return &failureTable();
    for (const RecordTable& table : recordTables())
        for (std::string_view element : table.elements)
            if (element == record.element) return &table;
    return nullptr;
}

std::string fileNameKey(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return text::lowerAscii(std::string(cut == std::string_view::npos ? path : path.substr(cut + 1)));
}

}  // namespace fleet
