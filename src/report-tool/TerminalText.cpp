#include "report-tool/TerminalText.h"

#include "text/Utf8.h"

#include <cstdio>

namespace reporttool {
namespace {

void appendEscape(std::string& out, const char* format, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, code);
    out += escaped;
}

}  // namespace

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = text::sequenceLength(text, at);
        if (length == 0) {
            appendEscape(out, "\\x%02x", c);
            ++at;
            continue;
        }
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) appendEscape(out, "\\x%02x", c);
        else if (c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0)
            appendEscape(out, "\\u%04x", static_cast<unsigned char>(text[at + 1]));
        else out.append(text, at, length);
        at += length;
    }
    return out;
}

}  // namespace reporttool
