#pragma once
#include "platform/FileSystem.h"

#include <optional>
#include <string>

// Reads a text file as ISO 8859-1, one character per byte: CR LF becomes LF,
// a byte 0x1A ends the text, and every line, the last one included, is
// followed by "\n". Nothing when the file cannot be opened.
std::optional<std::wstring> readTextFile(const platform::FileSystem& files, const std::wstring& path);

// The same decoding, on bytes already read.
std::wstring decodeTextFile(const std::string& bytes);

// A configuration: as readTextFile, but decoded as UTF-8 when the file starts
// with the UTF-8 byte-order mark (which is dropped) or declares encoding="UTF-8"
// in its XML declaration, and its bytes are UTF-8 indeed.
std::optional<std::wstring> readConfigurationFile(const platform::FileSystem& files, const std::wstring& path);
std::wstring decodeConfiguration(const std::string& bytes);
