#pragma once
#include <cstdint>
#include <span>
#include <string>

// The report's names of the registry value types; "unknown" for the others.
std::wstring typeName(std::uint32_t type);

// The report's text of a value's data (the bytes as the registry holds them):
// strings and links decoded from UTF-16LE without their terminators, the strings
// of a multi-string each followed by "|" (the very last one dropped), numbers
// in unsigned decimal, binary and untyped data as a dump of "0x00ab " units
// eight to a line.
std::wstring formatData(std::uint32_t type, std::span<const std::uint8_t> data);
