#include "platform/linux/Paths.h"

#include "text/Utf8.h"

#include <stdexcept>

namespace platform::linux_layer {

std::string toNative(const std::wstring& path) { return text::wideToUtf8(path); }

std::wstring fromNative(const std::string& bytes) {
    try {
        return text::utf8ToWide(bytes);
    } catch (const std::range_error&) {
        std::wstring wide;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            wide += byte < 0x80 ? static_cast<wchar_t>(byte) : L'\uFFFD';
        }
        return wide;
    }
}

std::wstring nameFromNative(const std::string& bytes) {
    std::wstring name = fromNative(bytes);
    for (wchar_t& c : name) {
        if (c < 0x20 || c == 0x7F) c = L'\uFFFD';
    }
    return name;
}

}  // namespace platform::linux_layer
