#include "report-tool/HtmlPage.h"

#include "report-tool/Json.h"

#include <cstdio>

namespace reporttool {
namespace {

enum TableIndex : std::size_t { registry, contents, files, directories, disks, accounts, services };

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
                                        field(facts.cpu, 2)));
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
        failures += "<li>" + escaped(failure.element + " " + failure.name + ": " + failure.text) + "</li>";
    if (facts.failureCount > facts.failures.size())
        failures += "<li>... und " + std::to_string(facts.failureCount - facts.failures.size()) + " weitere</li>";
    out += row("Fehler", std::to_string(facts.failureCount) + (failures.empty() ? "" : "<ul class=\"failures\">" + failures + "</ul>"));
    return out + "</table>\n";
}

const char* const style = R"(
body{font:14px system-ui,sans-serif;margin:1.5em;color:#222}
h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.6em}
table{border-collapse:collapse;margin:.4em 0}th,td{border:1px solid #ccc;padding:2px 6px;text-align:left;vertical-align:top}
table.summary th{background:#f4f4f4;white-space:nowrap}.bar{vertical-align:middle}
td{white-space:pre-wrap;word-break:break-all}tr.failure td{background:#fde2e0}.failures li{color:#a93226}
pre{margin:0;white-space:pre-wrap}.pager{margin:.3em 0}.pager button{margin-right:.4em}
input.filter{width:20em})";

// Draws each table a page at a time from the data block, cells as text only.
const char* const script = R"(
'use strict';
const data = JSON.parse(document.getElementById('report-data').textContent);
const pageSize = 100;
function cell(kind, value) {
  const td = document.createElement('td');
  if (kind === '~' && /^-?\d+$/.test(value)) {
    td.textContent = new Date(Number(value) * 1000).toISOString().replace('T', ' ').slice(0, 19);
    td.title = value;
  } else if (kind === '*' && value !== '') {
    const details = document.createElement('details');
    const summary = document.createElement('summary');
    summary.textContent = 'anzeigen';
    const pre = document.createElement('pre');
    pre.textContent = value;
    details.append(summary, pre);
    td.append(details);
  } else {
    td.textContent = value;
  }
  return td;
}
for (const table of data.tables) {
  const section = document.getElementById('table-' + table.id);
  const body = section.querySelector('tbody');
  const info = section.querySelector('.info');
  const kinds = table.columns.map(c => /^[~*]/.test(c) ? c[0] : '');
  let shown = table.rows, page = 0;
  function draw() {
    const pages = Math.max(1, Math.ceil(shown.length / pageSize));
    page = Math.min(Math.max(page, 0), pages - 1);
    const rows = [];
    for (const values of shown.slice(page * pageSize, (page + 1) * pageSize)) {
      const tr = document.createElement('tr');
      if (values[0]) tr.className = 'failure';
      values.slice(1).forEach((v, i) => tr.append(cell(kinds[i], v)));
      rows.push(tr);
    }
    body.replaceChildren(...rows);
    info.textContent = 'Seite ' + (page + 1) + ' von ' + pages + ' (' + shown.length + ' Zeilen)';
  }
  section.querySelector('.previous').onclick = () => { page--; draw(); };
  section.querySelector('.next').onclick = () => { page++; draw(); };
  section.querySelector('.filter').oninput = event => {
    const wanted = event.target.value.toLowerCase();
    shown = wanted ? table.rows.filter(r => r.slice(1).some(v => v.toLowerCase().includes(wanted))) : table.rows;
    page = 0;
    draw();
  };
  draw();
}
document.body.dataset.ready = 'true';
)";

}  // namespace

HtmlPage::HtmlPage()
    : tables_{{"registry", "Registrierung", {"Name", "Typ", "Daten"}},
              {"contents", "Dateiinhalte", {"Datei", "Bytes", "*Inhalt"}},
              {"files", "Dateien", {"Datei", "~Geaendert", "~Erstellt", "Bytes", "Dateiversion", "Produktversion"}},
              {"directories", "Verzeichnisse", {"Verzeichnis", "~Geaendert", "~Erstellt"}},
              {"disks", "Datentraeger", {"Pfad", "Frei (GiB)", "Gesamt (GiB)"}},
              {"accounts", "Konten und Gruppen", {"Konto", "Art", "Wert"}},
              {"services", "Dienste", {"Name", "Anzeigename", "Typ", "Zustand", "Konto", "Start"}}} {}

void HtmlPage::record(report::Record&& record) {
    const std::string& element = record.element;
    const std::vector<std::string>& fields = record.fields;
    if (element == "key") {
        addRow(registry, record.failure, {record.name, record.attribute("type"), field(fields, 0)});
    } else if (element == "filecontent") {
        std::string text = field(fields, 0);
        if (text.size() > shownContents) text = text.substr(0, shownContents) + "\n[... gekuerzt]";
        addRow(contents, record.failure, {record.name, std::to_string(record.contentSize), text});
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
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
        "script-src 'unsafe-inline'\">\n<title>Tavisk-Bericht " + host + "</title>\n<style>" + style +
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
            script + "</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace reporttool
