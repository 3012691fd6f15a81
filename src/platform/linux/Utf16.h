#pragma once
#include <string>

namespace platform::linux_layer {

// The text as UTF-16 code units, one to each wide character: characters above
// U+FFFF become surrogate pairs, as libraries written for 16-bit characters expect.
std::wstring utf16Units(const std::wstring& text);

}  // namespace platform::linux_layer
