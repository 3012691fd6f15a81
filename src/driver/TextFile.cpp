#include "driver/TextFile.h"

#include <vector>

void TextFileDecoder::decode(std::string_view bytes, std::wstring& out) {
    for (const char c : bytes) {
        if (ended_) return;
        const auto byte = static_cast<unsigned char>(c);
        if (pendingCarriageReturn_) {
            pendingCarriageReturn_ = false;
            if (byte != '\n') out += L'\r';
        }
        if (byte == 0x1A) {
            ended_ = true;
        } else if (byte == '\r') {
            pendingCarriageReturn_ = true;
        } else {
            out += static_cast<wchar_t>(byte);
        }
    }
}

// Splitting at LF and appending "\n" to every piece gives the text plus one "\n".
void TextFileDecoder::finish(std::wstring& out) {
    if (pendingCarriageReturn_) out += L'\r';
    pendingCarriageReturn_ = false;
    out += L'\n';
}

std::wstring decodeTextFile(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() + 1);
    TextFileDecoder decoder;
    decoder.decode(bytes, text);
    decoder.finish(text);
    return text;
}

std::optional<std::wstring> readTextFile(const platform::FileSystem& files, const std::wstring& path) {
    const auto bytes = files.readFile(path);
    if (!bytes) return std::nullopt;
    return decodeTextFile(*bytes);
}

void copyTextFile(platform::FileStream& file, ReportSink& out) {
    std::vector<char> chunk(std::size_t{1} << 16);
    std::wstring text;
    TextFileDecoder decoder;
    while (!decoder.ended()) {
        std::uint32_t count = 0;
        if (file.read(chunk.data(), static_cast<std::uint32_t>(chunk.size()), count) != 0 || count == 0) break;
        text.clear();
        decoder.decode(std::string_view(chunk.data(), count), text);
        out << text;
    }
    text.clear();
    decoder.finish(text);
    out << text;
}
