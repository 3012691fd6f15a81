#include "platform/win32/WideText.h"

namespace platform::win32 {

std::string textModeBytes(const std::string& utf8) {
    std::string bytes;
    bytes.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
}

}  // namespace platform::win32
