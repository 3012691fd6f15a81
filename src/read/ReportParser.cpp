#include "read/ReportParser.h"

#include "read/ReportElements.h"

#include <algorithm>
#include <cstring>

namespace report {
namespace {

constexpr std::string_view declaration = "<?xml version=\"1.0\"?>\r";
constexpr std::string_view contentsEnd = "</filecontent>";
constexpr std::string_view contentsStartEnd = "\" noparse=\"TRUE\">";
constexpr std::string_view computerEnd = "</computer>";

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// 'key="value"' pairs separated by blanks; values hold no double quote.
std::vector<std::pair<std::string, std::string>> attributeList(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> attributes;
    while (!text.empty()) {
        const std::size_t equals = text.find("=\"");
        const std::size_t close = equals == std::string_view::npos ? equals : text.find('"', equals + 2);
        if (close == std::string_view::npos) throw ReportError("Attribut ohne Wert");
        attributes.emplace_back(text.substr(0, equals), text.substr(equals + 2, close - equals - 2));
        text = text.substr(close + 1);
        if (startsWith(text, " ")) text.remove_prefix(1);
    }
    return attributes;
}

// '<computer hostname="H" username="U" date="D">': the names may hold quotes, the date does not.
Record computerRecord(std::string_view text) {
    constexpr std::string_view start = "<computer hostname=\"";
    const std::size_t user = text.find("\" username=\"");
    const std::size_t date = text.rfind("\" date=\"");
    if (!startsWith(text, start) || !endsWith(text, "\">") || user == std::string_view::npos ||
        date == std::string_view::npos || date < user)
        throw ReportError("kein Tavisk-Bericht (Zeile <computer ...> erwartet)");
    Record record;
    record.section = record.element = "computer";
    record.name = text.substr(start.size(), user - start.size());
    record.attributes = {{"hostname", record.name},
                         {"username", std::string(text.substr(user + 12, date - user - 12))},
                         {"date", std::string(text.substr(date + 8, text.size() - date - 10))}};
    return record;
}

// A line that may follow a file's contents: another file element or the section's end.
bool followsContents(std::string_view text) {
    return text == "</file>" || elementStartedBy("file", text) != nullptr;
}

}  // namespace

void ReportParser::feed(const char* data, std::size_t size) {
    while (size > 0) {
        const auto* newline = static_cast<const char*>(std::memchr(data, '\n', size));
        const std::size_t taken = newline ? static_cast<std::size_t>(newline - data) : size;
        if (skippingLongLine_) {
            unreadable_.contentSize += taken;  // only measured: the kept text is full
            skippingLongLine_ = newline == nullptr;
        } else if (!newline) {
            pending_.append(data, taken);
            if (pending_.size() > maximumElementSize) {
                // A contents line this long cannot be the end tag: it goes on in pieces.
                if (stage_ != Stage::contents) return skipLongLine();
                if (endTagPending_) appendContents(contentsEnd, true);
                endTagPending_ = false;
                // A CR at the cut may be the first half of the line end: it waits.
                const bool lastIsCr = endsWith(pending_, "\r");
                appendContents(std::string_view(pending_).substr(0, pending_.size() - lastIsCr), false);
                pending_.erase(0, pending_.size() - lastIsCr);
                pendingIsContinuation_ = true;
            }
            return;
        } else {
            // A line within the piece is read where it is; one begun in an earlier piece is joined first.
            std::string_view text(data, taken);
            if (!pending_.empty()) text = pending_.append(data, taken);
            ++lineNumber_;
            if (endsWith(text, "\r")) text.remove_suffix(1);
            line(text);
            pending_.clear();
            pendingIsContinuation_ = false;
        }
        if (!newline) return;
        data += taken + 1;
        size -= taken + 1;
    }
}

// A line longer than any element the writer makes (outside a file's contents)
// is unreadable, with the element it is part of; its rest is only measured.
void ReportParser::skipLongLine() {
    ++lineNumber_;
    if (stage_ != Stage::body) fail("Zeile laenger als 16 MiB");
    if (elementTag_.empty()) {
        unreadableStretch(lineNumber_, pending_);
    } else {
        unreadableStretch(elementLine_, elementText_);
        keepUnreadable("\n");
        keepUnreadable(pending_);
        elementTag_.clear();
        std::string().swap(elementText_);
    }
    std::string().swap(pending_);
    skippingLongLine_ = true;
}

void ReportParser::finish() {
    if (!skippingLongLine_) ++lineNumber_;
    if (stage_ == Stage::done && !pending_.empty()) reopenBody();
    const bool lastLineEnds = stage_ == Stage::body && elementTag_.empty() && !wrapped_ && !skippingLongLine_ &&
                              pending_ == computerEnd;
    if (!lastLineEnds) {
        if (stage_ == Stage::declaration)
            fail(pending_.empty() && lineNumber_ == 1 ? "leer, kein Tavisk-Bericht" : "kein Tavisk-Bericht");
        if (stage_ != Stage::done) fail("Bericht endet vorzeitig (\"</computer>\" fehlt)");
    }
    stage_ = Stage::done;
    emitUnreadable();
    handler_.end();
}

// A line "</computer>" that more text follows was not the report's end.
void ReportParser::reopenBody() {
    stage_ = Stage::body;
    unreadableStretch(lineNumber_ - 1, computerEnd);
    unreadable_.lastLine = lineNumber_ - 1;
}

void ReportParser::line(std::string_view text) {
    switch (stage_) {
        case Stage::declaration:
            if (text != declaration) fail("kein Tavisk-Bericht (Deklaration erwartet)");
            stage_ = Stage::computer;
            return;
        case Stage::computer:
            try {
                emit(computerRecord(text));
            } catch (const ReportError& error) {
                fail(error.what());
            }
            stage_ = Stage::body;
            return;
        case Stage::body:
            return elementTag_.empty() ? bodyLine(text) : continueElement(text);
        case Stage::contents:
            return contentLine(text);
        case Stage::done:
            reopenBody();
            return bodyLine(text);
    }
}

void ReportParser::bodyLine(std::string_view text) {
    if (wrapped_) {
        if (text.size() == section_.size() + 3 && endsWithEndTag(text, section_)) {
            wrapped_ = false;
            return;
        }
        return startElement(text);
    }
    if (text == "<registry>") return (void)enterSection("registry", 1, true, text);
    if (text == "<file>") return (void)enterSection("file", 2, true, text);
    if (startsWith(text, "<system ") && endsWith(text, ">")) return startSystem(text);
    if (text == computerEnd) {
        stage_ = Stage::done;
        return;
    }
    bool entered = false;
    if (startsWith(text, "<directory name=\"")) {
        entered = enterSection("directory", 3, false, text);
    } else if (startsWith(text, "<service")) {
        entered = enterSection("service", 5, false, text);
    } else {
        unreadableStretch(lineNumber_, text);
    }
    if (entered) startElement(text);
}

// Sections come in a fixed order; the directory and service sections are runs of
// elements without a wrapper. A section line out of order is unreadable.
bool ReportParser::enterSection(const char* section, int rank, bool wrapped, std::string_view text) {
    if (rank < sectionRank_ || (rank == sectionRank_ && wrapped)) {
        unreadableStretch(lineNumber_, text);
        return false;
    }
    sectionRank_ = rank;
    section_ = section;
    wrapped_ = wrapped;
    return true;
}

void ReportParser::startSystem(std::string_view text) {
    if (!enterSection("system", 4, true, text)) return;
    Record record;
    record.section = record.element = "system";
    try {
        record.attributes = attributeList(text.substr(8, text.size() - 9));
    } catch (const ReportError&) {
        return unreadableStretch(lineNumber_, text);
    }
    emit(std::move(record));
}

void ReportParser::startElement(std::string_view text) {
    const char* tag = elementStartedBy(section_, text);
    if (!tag) return unreadableStretch(lineNumber_, text);
    elementLine_ = lineNumber_;
    if (std::string_view(tag) == "filecontent" && endsWith(text, contentsStartEnd)) {
        contents_ = Record{};
        contents_.section = section_;
        contents_.element = tag;
        contents_.name = text.substr(19, text.size() - 19 - contentsStartEnd.size());
        contents_.named = true;
        contents_.attributes = {{"noparse", "TRUE"}};
        contents_.fields = {std::string()};
        contents_.line = lineNumber_;
        stage_ = Stage::contents;
        return;
    }
    if (closesElement(tag, text, true)) return closeElement(tag, text);
    elementTag_ = tag;
    elementText_ = text;
}

// An element longer than any the writer makes is unreadable; the lines after
// it are read afresh.
void ReportParser::continueElement(std::string_view text) {
    elementText_ += '\n';
    elementText_ += text;
    if (elementText_.size() >= maximumElementSize) {
        unreadableStretch(elementLine_, elementText_);
    } else if (closesElement(elementTag_, text, false)) {
        closeElement(elementTag_, elementText_);
    } else {
        return;
    }
    elementTag_.clear();
    elementText_.clear();
}

// The element's record is filled in place and handed on; a handler that keeps
// it takes it, one that does not leaves its memory for the next element.
void ReportParser::closeElement(std::string_view tag, std::string_view text) {
    try {
        readElement(section_, tag, text, element_);
    } catch (const ReportError&) {
        return unreadableStretch(elementLine_, text);
    }
    element_.line = elementLine_;
    emit(std::move(element_));
}

// A line "</filecontent>" ends the contents only where the next line can follow
// them; otherwise it belongs to the contents.
void ReportParser::contentLine(std::string_view text) {
    if (endTagPending_) {
        endTagPending_ = false;
        if (followsContents(text)) {
            finishContents();
            return bodyLine(text);
        }
        appendContents(contentsEnd, true);
    }
    if (text == contentsEnd && !pendingIsContinuation_) {
        endTagPending_ = true;
        return;
    }
    appendContents(text, true);
}

// The first bytes are kept up to the limit; all are measured.
void ReportParser::appendContents(std::string_view text, bool endsLine) {
    contents_.contentSize += text.size() + endsLine;
    if (streamsContents_) return handler_.fileContents(contents_, text, endsLine);
    std::string& kept = contents_.fields[0];
    if (kept.size() >= keptContents_) return;
    const std::uint64_t room = keptContents_ - kept.size();
    kept.append(text.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(text.size(), room))));
    if (endsLine && room > text.size()) kept += '\n';
}

void ReportParser::finishContents() {
    stage_ = Stage::body;
    emit(std::move(contents_));
    contents_ = Record{};
}

void ReportParser::emit(Record&& record) {
    emitUnreadable();  // it came before
    if (record.line == 0) record.line = lineNumber_;
    handler_.record(std::move(record));
}

// Starts an unreadable stretch that ends on the current line, or continues the
// one that ended on the line before.
void ReportParser::unreadableStretch(std::uint64_t firstLine, std::string_view text) {
    if (!unreadable_.element.empty() && unreadable_.lastLine + 1 != firstLine) emitUnreadable();
    if (unreadable_.element.empty()) {
        unreadable_.section = wrapped_ || section_ == "directory" || section_ == "service" ? section_ : "";
        unreadable_.element = unreadable;
        unreadable_.line = firstLine;
        unreadable_.fields = {std::string()};
    } else {
        keepUnreadable("\n");
    }
    keepUnreadable(text);
    unreadable_.lastLine = lineNumber_;
}

void ReportParser::keepUnreadable(std::string_view text) {
    std::string& kept = unreadable_.fields[0];
    kept.append(text.substr(0, maximumElementSize - std::min(kept.size(), maximumElementSize)));
    unreadable_.contentSize += text.size();
}

void ReportParser::emitUnreadable() {
    if (unreadable_.element.empty()) return;
    handler_.record(std::move(unreadable_));
    unreadable_ = Record{};
}

void ReportParser::fail(const std::string& what) const {
    throw ReportError("Zeile " + std::to_string(lineNumber_) + ": " + what);
}

}  // namespace report
