#include "driver/TextFile.h"

std::wstring decodeTextFile(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0x1A) break;
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += static_cast<wchar_t>(byte);
    }
    // Splitting at LF and appending "\n" to every piece gives the text plus one "\n".
    text += L'\n';
    return text;
}

std::optional<std::wstring> readTextFile(const platform::FileSystem& files, const std::wstring& path) {
    const auto bytes = files.readFile(path);
    if (!bytes) return std::nullopt;
    return decodeTextFile(*bytes);
}
