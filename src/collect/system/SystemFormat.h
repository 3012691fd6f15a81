#pragma once
#include <cstdint>
#include <string>

namespace system_format {

// Fixed notation with exactly that many decimals, "." as the point, no grouping.
std::wstring formatFixed(double value, int decimals);
// Decimal digits of an unsigned 32-bit value.
std::wstring formatUnsigned(std::uint32_t value);
// A load in the general notation with two significant digits: 7.5, 13, 0, 1e+02.
std::wstring formatLoad(double percent);
// Gibibytes with two decimals, counted from whole mebibytes as a 32-bit number.
std::wstring diskGibibytes(std::uint64_t bytes);
// Gibibytes with two decimals.
std::wstring memoryGibibytes(std::uint64_t bytes);

// The English text of a network management status.
std::wstring netApiErrorText(std::uint32_t status);
// "guest", "user", "administrator", or "unknown" for any other level.
std::wstring privilegeWord(std::uint32_t level);

}  // namespace system_format
