#pragma once
#include <string>

namespace text {

// Strict decoding: an invalid sequence throws std::range_error("bad conversion").
// Characters beyond the Basic Multilingual Plane become a surrogate pair where
// wide characters have 16 bits.
std::wstring utf8ToWide(const std::string& bytes);
// Surrogate pairs become one 4-byte sequence; unpaired surrogates and other
// non-characters become U+FFFD, so encoding never fails.
std::string wideToUtf8(const std::wstring& text);

}  // namespace text
