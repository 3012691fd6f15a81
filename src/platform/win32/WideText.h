#pragma once
#include <string>

namespace platform::win32 {

// Bytes for the narrow and redirected streams: UTF-8, LF written as CR LF as a
// text-mode stream does.
std::string textModeBytes(const std::string& utf8);

}  // namespace platform::win32
