#include "archive/SevenZipException.h"

namespace SevenZip {

std::wstring lastErrorMessage(const std::wstring& operation, std::uint32_t code) {
    return operation + L": GetLastError = " + std::to_wstring(code);
}

std::wstring resultMessage(const std::wstring& operation, std::int32_t result) {
    static constexpr wchar_t digits[] = L"0123456789ABCDEF";
    const auto bits = static_cast<std::uint32_t>(result);
    std::wstring hex(8, L'0');
    for (int i = 0; i < 8; ++i) hex[7 - i] = digits[(bits >> (4 * i)) & 0xF];
    return operation + L": HRESULT = 0x" + hex;
}

std::wstring formatMessage(const std::wstring& pattern, const std::wstring& argument) {
    std::wstring message = pattern;
    const std::size_t place = message.find(L"%s");
    return place == std::wstring::npos ? message : message.replace(place, 2, argument);
}

}  // namespace SevenZip
