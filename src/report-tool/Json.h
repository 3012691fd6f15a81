#pragma once
#include <string>
#include <string_view>

namespace reporttool {

// A JSON string literal of report text, quotes included: controls (C0, DEL, C1)
// escaped, and every byte that is not UTF-8 as U+FFFD, so that strict parsers
// take it and a terminal that shows it runs nothing.
std::string jsonString(std::string_view text);

}  // namespace reporttool
