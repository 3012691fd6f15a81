#include "report-tool/HtmlPage.h"

#include "report-tool/Json.h"
#include "report-tool/PageAssets.h"
#include "text/Utf8.h"

#include <cstdio>

namespace reporttool {
namespace {

enum TableIndex : std::size_t { registry, contents, files, directories, disks, accounts, services, unreadable };

std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// JSON inside a script element: no "<" may close it or open a comment.
std::string scriptSafe(std::string json) {
    std::string out;
    out.reserve(json.size());
    for (const char c : json) out += c == '<' ? std::string("\\u003c") : std::string(1, c);
    return out;
}

std::string svgBar(double share) {
    const double clamped = share < 0 ? 0 : share > 1 ? 1 : share;
    char width[16];
    std::snprintf(width, sizeof width, "%.0f", clamped * 200);
    const char* colour = clamped > 0.9 ? "#c0392b" : "#2e86c1";
    return std::string("<svg class=\"bar\" width=\"200\" height=\"12\" role=\"img\">"
                       "<rect width=\"200\" height=\"12\" fill=\"#ddd\"/><rect width=\"") +
           width + "\" height=\"12\" fill=\"" + colour + "\"/></svg>";
}

std::string field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

// The text of a file's contents or of an unreadable stretch as the page shows
// it: cut before a character, and marked, where it is longer.
std::string shown(const report::Record& record) {
    const std::string text = field(record.fields, 0);
    if (record.contentSize <= HtmlPage::shownContents && text.size() <= HtmlPage::shownContents) return text;
    return std::string(text::cutUtf8(text, HtmlPage::shownContents)) + "\n[... gekuerzt]";
}

std::string row(const char* label, const std::string& valueHtml) {
    return std::string("<tr><th>") + label + "</th><td>" + valueHtml + "</td></tr>\n";
}

std::string summaryHtml(const Summary::Facts& facts) {
    std::string out = "<table class=\"summary\">\n";
    out += row("Computer", escaped(facts.computerValue("hostname")));
    out += row("Konto", escaped(facts.computerValue("username")));
    out += row("Erfasst", escaped(facts.collectionTime()));
    if (!facts.os.empty())
        out += row("Betriebssystem", escaped(field(facts.os, 0) + " (" + field(facts.os, 1) + ", " + field(facts.os, 2) + ")"));
    if (!facts.cpu.empty())
        out += row("Prozessor", escaped(field(facts.cpu, 0) + ", " + field(facts.cpu, 1) + " logische, Last " +
                                        facts.processorLoad()));
    if (!facts.ram.empty())
        out += row("Speicher", svgBar(facts.memoryShare()) + " " +
                                   escaped(field(facts.ram, 0) + " % belegt, " + field(facts.ram, 2) + " von " +
                                           field(facts.ram, 1) + " GiB frei"));
    for (const Summary::Disk& disk : facts.disks)
        out += row("Datentr&auml;ger", svgBar(disk.usedShare()) + " " +
                                           escaped(disk.path + ": " + disk.free + " von " + disk.total + " GiB frei"));
    std::string figures;
    for (const auto& [key, value] : facts.systemFigures) figures += key + "=" + value + " ";
    if (!figures.empty()) out += row("System", escaped(figures));
    std::string states;
    for (const auto& [state, count] : facts.servicesByState) states += state + ": " + std::to_string(count) + "; ";
    for (const std::string& name : facts.automaticNotRunning) states += "\nautomatisch, l\xC3\xA4uft nicht: " + name;
    if (!states.empty()) out += row("Dienste", "<pre>" + escaped(states) + "</pre>");
    std::string failures;
    for (const Summary::Failure& failure : facts.failures)
        failures += "<li>" + escaped(failure.element + " " +
                                     (failure.element == report::unreadable ? failure.lines() : failure.name) + ": " +
                                     failure.text) +
                    "</li>";
    if (facts.failureCount > facts.failures.size())
        failures += "<li>... und " + std::to_string(facts.failureCount - facts.failures.size()) + " weitere</li>";
    out += row("Fehler", std::to_string(facts.failureCount) + (failures.empty() ? "" : "<ul class=\"failures\">" + failures + "</ul>"));
    return out + "</table>\n";
}

// A source the policy allows by its SHA-256 (hex): only the page's own style
// and script run, whatever report text might slip into the page as markup.
std::string allowed(std::string_view sha256Hex) {
    static constexpr char base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (std::size_t at = 0; at + 1 < sha256Hex.size(); at += 2)
        bytes += static_cast<char>(std::stoi(std::string(sha256Hex.substr(at, 2)), nullptr, 16));
    std::string out = "'sha256-";
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        unsigned group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (at + k < bytes.size() ? static_cast<unsigned char>(bytes[at + k]) : 0);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= bytes.size() - at ? base64[group >> (18 - 6 * k) & 63] : '=';
    }
    return out + "'";
}

}  // namespace

HtmlPage::HtmlPage()
    : tables_{{"registry", "Registrierung", {"Name", "Typ", "Daten"}},
              {"contents", "Dateiinhalte", {"Datei", "Bytes", "*Inhalt"}},
              {"files", "Dateien", {"Datei", "~Geaendert", "~Erstellt", "Bytes", "Dateiversion", "Produktversion"}},
              {"directories", "Verzeichnisse", {"Verzeichnis", "~Geaendert", "~Erstellt"}},
              {"disks", "Datentraeger", {"Pfad", "Frei (GiB)", "Gesamt (GiB)"}},
              {"accounts", "Konten und Gruppen", {"Konto", "Art", "Wert"}},
              {"services", "Dienste", {"Name", "Anzeigename", "Typ", "Zustand", "Konto", "Start"}},
              {"unreadable", "Unlesbare Stellen", {"Zeilen", "Abschnitt", "Bytes", "*Text"}}} {}

void HtmlPage::record(report::Record&& record) {
    const std::string& element = record.element;
    const std::vector<std::string>& fields = record.fields;
    if (element == "key") {
        addRow(registry, record.failure, {record.name, record.attribute("type"), field(fields, 0)});
    } else if (element == "filecontent") {
        addRow(contents, record.failure, {record.name, std::to_string(record.contentSize), shown(record)});
    } else if (element == "searchedproperties" || element == "properties") {
        addRow(files, record.failure, {record.name, field(fields, 0), field(fields, 1), field(fields, 2),
                                       field(fields, 3), field(fields, 4)});
    } else if (element == "directory") {
        addRow(directories, record.failure, {record.name, field(fields, 0), field(fields, 1)});
    } else if (element == "disk") {
        addRow(disks, record.failure, {field(fields, 0), field(fields, 1), field(fields, 2)});
    } else if (element == "localuser") {
        addRow(accounts, record.failure, {record.name, "lokales Konto", field(fields, 0)});
    } else if (element == "user") {
        std::string groups;
        for (const std::string& group : fields) groups += (groups.empty() ? "" : ", ") + group;
        addRow(accounts, false, {record.name, "Gruppen", groups});
    } else if (element == "service") {
        addRow(services, record.failure, {record.name, field(fields, 0), field(fields, 1), field(fields, 2),
                                          field(fields, 3), field(fields, 4)});
    } else if (element == report::unreadable) {
        addRow(unreadable, true, {std::to_string(record.line) + "-" + std::to_string(record.lastLine), record.section,
                                  std::to_string(record.contentSize), shown(record)});
    }
    summary_.record(std::move(record));
}

void HtmlPage::addRow(std::size_t table, bool failure, const std::vector<std::string>& cells) {
    Table& target = tables_[table];
    std::string json = failure ? "[1" : "[0";
    for (const std::string& text : cells) json += "," + jsonString(text);
    if (target.count++ > 0) target.rows += ",\n";
    target.rows += json + "]";
}

std::string HtmlPage::html() const {
    const std::string host = escaped(summary_.facts().computerValue("hostname"));
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
        allowed(page::styleSha256) + "; script-src " + allowed(page::scriptSha256) +
        "\">\n<title>Tavisk-Bericht " + host + "</title>\n<style>" + page::style +
        "</style>\n</head>\n<body>\n<h1>Tavisk-Bericht " + host + "</h1>\n" + summaryHtml(summary_.facts());
    std::string data = "{\"tables\":[";
    for (const Table& table : tables_) {
        if (table.count == 0) continue;
        page += std::string("<section id=\"table-") + table.id + "\">\n<h2>" + table.title + " (" +
                std::to_string(table.count) + ")</h2>\n<input class=\"filter\" type=\"search\" placeholder=\"Filtern\">\n"
                "<div class=\"pager\"><button class=\"previous\">&lt;</button><button class=\"next\">&gt;</button>"
                "<span class=\"info\"></span></div>\n<table><thead><tr>";
        std::string columns;
        for (const char* column : table.columns) {
            const std::string name = column[0] == '~' || column[0] == '*' ? column + 1 : column;
            page += "<th>" + name + "</th>";
            columns += (columns.empty() ? "" : ",") + jsonString(column);
        }
        page += "</tr></thead><tbody></tbody></table>\n</section>\n";
        if (data.size() > 11) data += ",";
        data += std::string("{\"id\":\"") + table.id + "\",\"columns\":[" + columns + "],\"rows\":[\n" + table.rows + "]}";
    }
    data += "]}";
    page += "<script type=\"application/json\" id=\"report-data\">" + scriptSafe(data) + "</script>\n<script>" +
            page::script + "</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace reporttool
