#pragma once
#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>

// Decodes a text file as ISO 8859-1, one character per byte: CR LF becomes LF,
// a byte 0x1A ends the text, and every line, the last one included, is
// followed by "\n". Bytes may come in pieces of any size; a CR LF split
// between two pieces is still folded.
class TextFileDecoder {
public:
    void decode(std::string_view bytes, std::wstring& out);
    // Adds what the end of the file completes.
    void finish(std::wstring& out);
    // True once the end-of-file character was met: later bytes do not count.
    bool ended() const { return ended_; }

private:
    bool pendingCarriageReturn_ = false;
    bool ended_ = false;
};

// The same decoding of a whole file's bytes.
std::wstring decodeTextFile(const std::string& bytes);

// A configuration file, decoded as a text file, but as UTF-8 when it starts with
// the UTF-8 byte-order mark (which is dropped) or declares encoding="UTF-8" in
// its XML declaration, and its bytes are UTF-8 indeed. Nothing when the file
// cannot be opened. A run and a check read their configuration alike through it.
std::optional<std::wstring> readConfigurationFile(const platform::FileSystem& files, const std::wstring& path);
std::wstring decodeConfiguration(const std::string& bytes);
