#pragma once
#include "platform/FileSystem.h"
#include "text/TextFile.h"

#include <optional>
#include <string>

// Nothing when the file cannot be opened or read. A run and a check read their
// configuration alike through it.
std::optional<ConfigurationText> readConfigurationFile(const platform::FileSystem& files, const std::wstring& path);
