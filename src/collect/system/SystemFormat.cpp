#include "collect/system/SystemFormat.h"

#include <algorithm>
#include <iomanip>
#include <locale>
#include <sstream>
#include <utility>

namespace system_format {
namespace {

std::wostringstream classicStream() {
    std::wostringstream out;
    out.imbue(std::locale::classic());
    return out;
}

const std::pair<std::uint32_t, const wchar_t*> netApiTexts[] = {
    {5, L"Access Denied"},
    {8, L"Insufficient memory was available to complete the operation"},
    {53, L"The network path was not found"},
    {123, L"Syntax incorrect, leading or trailing blanks in Servername or illegal character"},
    {124, L"The level Parameter is not set"},
    {234, L"Buffer to small"},
    {2140, L"An internal error occurred"},
    {2221, L"The user could not be found"},
    {2351, L"The computer name is invalid"},
    {2453, L"Could not find the domain controller for the domain"},
};

const wchar_t* const privilegeWords[] = {L"guest", L"user", L"administrator"};

}  // namespace

std::wstring formatFixed(double value, int decimals) {
    auto out = classicStream();
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

std::wstring formatUnsigned(std::uint32_t value) { return std::to_wstring(value); }

std::wstring formatLoad(double percent) {
    auto out = classicStream();
    out << std::setprecision(2) << percent;
    return out.str();
}

std::wstring diskGibibytes(std::uint64_t bytes) {
    const auto mebibytes = static_cast<std::uint32_t>(bytes >> 20);
    return formatFixed(static_cast<double>(mebibytes) / 1024, 2);
}

std::wstring memoryGibibytes(std::uint64_t bytes) {
    return formatFixed(static_cast<double>(bytes) / 1073741824.0, 2);
}

std::wstring netApiErrorText(std::uint32_t status) {
    const auto* found = std::find_if(std::begin(netApiTexts), std::end(netApiTexts),
                                     [status](const auto& entry) { return entry.first == status; });
    if (found != std::end(netApiTexts)) return found->second;
    return L"A System Error Occured. Error Corde: " + std::to_wstring(status);
}

std::wstring privilegeWord(std::uint32_t level) {
    return level < std::size(privilegeWords) ? privilegeWords[level] : L"unknown";
}

}  // namespace system_format
