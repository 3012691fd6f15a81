#pragma once
#include <string>

namespace platform::linux_layer {

// File names are bytes on Linux; the tool's paths are wide strings.
std::string toNative(const std::wstring& path);
// Bytes that are no valid UTF-8 become U+FFFD.
std::wstring fromNative(const std::string& bytes);

}  // namespace platform::linux_layer
