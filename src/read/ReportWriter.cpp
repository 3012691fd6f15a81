#include "read/ReportWriter.h"

namespace report {
namespace {

std::string joined(const std::vector<std::string>& fields) {
    std::string text;
    for (const std::string& field : fields) text += (&field == &fields.front() ? "" : "|") + field;
    return text;
}

// The element as the tool writes it, but for a file's contents.
std::string element(const Record& r) {
    const std::string& tag = r.element;
    if (tag == "computer")
        return "<computer hostname=\"" + r.name + "\" username=\"" + r.attribute("username") + "\" date=\"" +
               r.attribute("date") + "\">\n";
    if (tag == "system") {
        std::string text = "<system";
        for (const auto& [key, value] : r.attributes) text += " " + key + "=\"" + value + "\"";
        return text + ">\n";
    }
    if (tag == unreadable) return r.fields[0] + "\n";
    if (tag == "key") {
        if (r.fields.empty()) return "<key name=\"" + r.name + "\"/>\n";
        const std::string type = r.attribute("type");
        return "<key name=\"" + r.name + (type.empty() ? "" : "\" type=\"" + type) + "\">" + r.fields[0] + "</key>\n";
    }
    std::string content = joined(r.fields);
    if (tag == "user" && !r.fields.empty()) content += "|";
    return "<" + tag + (r.named ? " name=\"" + r.name + "\"" : "") + ">" + content + "</" + tag + ">\n";
}

}  // namespace

void ReportWriter::start() { out_("<?xml version=\"1.0\"?>\r\n"); }

void ReportWriter::next(const Record& record) {
    if (record.element != "filecontent" || record.failure) {
        enter(record);
        return out_(element(record));
    }
    startContents(record);
    out_(record.fields.empty() ? std::string_view() : std::string_view(record.fields[0]));
    endContents();
}

void ReportWriter::startContents(const Record& file) {
    enter(file);
    out_("<filecontent name=\"" + file.name + "\" noparse=\"TRUE\">\n");
}

void ReportWriter::endContents() { out_("</filecontent>\n"); }

void ReportWriter::end() {
    close();
    out_("</computer>");
}

// The wrapper lines a record needs before it: the registry, file and system
// sections are wrapped, the others stand directly inside the computer element.
void ReportWriter::enter(const Record& record) {
    if (record.element == "system" || (record.section != open_ && record.section != "computer")) close();
    if (record.section == "registry" || record.section == "file" || record.section == "system") {
        if (open_.empty() && record.section != "system") out_("<" + record.section + ">\n");
        open_ = record.section;
    }
}

void ReportWriter::close() {
    if (!open_.empty()) out_("</" + open_ + ">\n");
    open_.clear();
}

std::string withCrLf(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 8);
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        bytes.append(text.substr(start, end - start));
        if (end == text.size()) return bytes;
        bytes += "\r\n";
        start = end + 1;
    }
}

}  // namespace report
