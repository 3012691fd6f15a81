#pragma once
#include "read/ReportRecord.h"

#include <string_view>

namespace report {

// The element a line opens in a section, or nothing when the line opens none
// of the elements the writer puts there.
const char* elementStartedBy(std::string_view section, std::string_view line);
// Whether the line ends the element: its end tag, or for a key without values "/>" on its first line.
bool closesElement(std::string_view tag, std::string_view text, bool firstLine);
// Whether the line ends with "</tag>".
bool endsWithEndTag(std::string_view text, std::string_view tag);
// The record of a whole element text (start tag to end tag, lines joined by LF),
// filled in place: strings it held before keep their memory for the new texts.
// Throws ReportError when the text is not such an element.
void readElement(std::string_view section, std::string_view tag, std::string_view text, Record& record);

}  // namespace report
