#pragma once
#include <string>
#include <string_view>

namespace reporttool {

// Report text as a terminal may show it: controls (C0, DEL, C1) and bytes that
// are not UTF-8 appear as escapes such as \x1b, \n or \u009b, so that no name or
// text of a report can move the cursor, retitle the window, write the clipboard
// or forge a line of the output.
std::string terminalText(std::string_view text);

}  // namespace reporttool
