#include "report-tool/Json.h"

#include "text/Utf8.h"

#include <cstdio>

namespace reporttool {
namespace {

void appendCode(std::string& out, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    out += escaped;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = text::sequenceLength(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD: strict parsers take nothing else
            ++at;
            continue;
        }
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) appendCode(out, c);
        // C1 controls: valid JSON as they are, but not for a terminal that shows it.
        else if (c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) appendCode(out, static_cast<unsigned char>(text[at + 1]));
        else out.append(text, at, length);
        at += length;
    }
    return out + "\"";
}

}  // namespace reporttool
