#include "platform/linux/Utf16.h"

namespace platform::linux_layer {

std::wstring utf16Units(const std::wstring& text) {
    std::wstring units;
    units.reserve(text.size());
    for (const wchar_t character : text) {
        const auto code = static_cast<char32_t>(character);
        if (code < 0x10000) {
            units += character;
        } else {
            units += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            units += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return units;
}

}  // namespace platform::linux_layer
