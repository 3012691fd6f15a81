#include "report-tool/Diff.h"

#include "report-tool/Json.h"

#include <cstdio>
#include <functional>
#include <set>

namespace reporttool {
namespace {

// Field positions that move between any two runs, by element.
const std::map<std::string, std::set<std::size_t>>& movingFields() {
    static const std::map<std::string, std::set<std::size_t>> fields{{"disk", {1}}, {"ram", {0, 2}}, {"cpu", {2}}};
    return fields;
}

std::string joined(const std::vector<std::string>& fields, const std::set<std::size_t>& left) {
    std::string value;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (left.count(index)) continue;
        if (!value.empty()) value += '|';
        value += fields[index];
    }
    return value;
}

std::string contentsValue(const report::Record& record) {
    if (record.failure) return record.fields.empty() ? "" : record.fields[0];
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(std::hash<std::string>{}(record.fields.empty() ? "" : record.fields[0])));
    return std::to_string(record.contentSize) + " Bytes, Pruefsumme " + hash;
}

const char* kindWord(Change::Kind kind) {
    switch (kind) {
        case Change::Kind::added: return "hinzugefuegt";
        case Change::Kind::removed: return "entfernt";
        default: return "geaendert";
    }
}

}  // namespace

void Inventory::record(report::Record&& record) {
    const std::string& element = record.element;
    if (element == "computer") {
        hostname_ = record.attribute("hostname");
        add(record, "username", record.attribute("username"));
        if (withMovingFigures_) add(record, "date", record.attribute("date"));
    } else if (element == "system") {
        if (withMovingFigures_)
            for (const auto& [key, value] : record.attributes) add(record, key, value);
    } else if (element == "key") {
        const std::string type = record.attribute("type");
        add(record, type.empty() ? record.name : record.name + " (" + type + ")", joined(record.fields, {}));
    } else if (element == "filecontent") {
        add(record, record.name, contentsValue(record));
    } else if (element == "user") {
        if (record.fields.empty()) add(record, record.name, "");
        for (const std::string& group : record.fields) add(record, record.name + " / " + group, "Mitglied");
    } else if (element == "disk") {
        const auto moving = movingFields().find(element);
        add(record, record.failure ? "" : record.fields[0],
            joined(record.fields, withMovingFigures_ || record.failure ? std::set<std::size_t>{} : moving->second));
    } else {
        const auto moving = movingFields().find(element);
        const bool leaveOut = !withMovingFigures_ && moving != movingFields().end();
        add(record, record.name, joined(record.fields, leaveOut ? moving->second : std::set<std::size_t>{}));
    }
}

// A thing listed twice (two requests for one file) is told apart by its count.
void Inventory::add(const report::Record& record, const std::string& identity, std::string value) {
    const std::string base = record.section + '\x1f' + record.element + '\x1f' + identity;
    std::string key = base;
    for (int occurrence = 2; entries_.count(key); ++occurrence) key = base + " #" + std::to_string(occurrence);
    entries_[key] = {record.section, record.element, identity + key.substr(base.size()), std::move(value)};
}

std::vector<Change> compare(const Inventory& older, const Inventory& newer) {
    std::vector<Change> changes;
    auto before = older.entries().begin();
    auto after = newer.entries().begin();
    while (before != older.entries().end() || after != newer.entries().end()) {
        if (after == newer.entries().end() || (before != older.entries().end() && before->first < after->first)) {
            changes.push_back({Change::Kind::removed, before->second, before->second.value, {}});
            ++before;
        } else if (before == older.entries().end() || after->first < before->first) {
            changes.push_back({Change::Kind::added, after->second, {}, after->second.value});
            ++after;
        } else {
            if (before->second.value != after->second.value)
                changes.push_back({Change::Kind::changed, after->second, before->second.value, after->second.value});
            ++before;
            ++after;
        }
    }
    return changes;
}

std::string diffText(const std::vector<Change>& changes, const std::string& warning) {
    std::string out = warning.empty() ? "" : "Warnung: " + warning + "\n";
    for (const Change& change : changes) {
        out += std::string(kindWord(change.kind)) + " " + change.entry.section + " " + change.entry.element + " " +
               change.entry.name + ": ";
        if (change.kind == Change::Kind::changed) out += change.oldValue + " → " + change.newValue;
        else out += change.kind == Change::Kind::added ? change.newValue : change.oldValue;
        out += "\n";
    }
    return out + (changes.empty() ? "Keine Unterschiede\n" : std::to_string(changes.size()) + " Unterschiede\n");
}

std::string diffJson(const std::vector<Change>& changes, const std::string& warning) {
    static const char* const kinds[] = {"added", "removed", "changed"};
    std::string out = "{\"warning\":" + (warning.empty() ? std::string("null") : jsonString(warning)) + ",\"changes\":[";
    for (const Change& change : changes) {
        if (&change != &changes.front()) out += ",";
        out += "{\"change\":\"" + std::string(kinds[static_cast<int>(change.kind)]) +
               "\",\"section\":" + jsonString(change.entry.section) + ",\"element\":" + jsonString(change.entry.element) +
               ",\"name\":" + jsonString(change.entry.name);
        if (change.kind != Change::Kind::added) out += ",\"old\":" + jsonString(change.oldValue);
        if (change.kind != Change::Kind::removed) out += ",\"new\":" + jsonString(change.newValue);
        out += "}";
    }
    return out + "]}\n";
}

}  // namespace reporttool
