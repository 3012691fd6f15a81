#pragma once
#include <string>

namespace platform::linux_layer {

// File names are bytes on Linux; the tool's paths are wide strings.
std::string toNative(const std::wstring& path);
// Bytes that are no valid UTF-8 become U+FFFD.
std::wstring fromNative(const std::string& bytes);
// A name the system hands over for the report (file, folder, link, unit and
// account names): as fromNative, and control characters become U+FFFD too.
// The report is not escaped, so a line feed in a name would start a line of
// the report that anyone able to name a folder could spell.
std::wstring nameFromNative(const std::string& bytes);

}  // namespace platform::linux_layer
