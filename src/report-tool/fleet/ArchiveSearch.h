#pragma once
#include "platform/FileSystem.h"
#include "platform/Folders.h"

#include <memory>
#include <string>
#include <vector>

namespace fleet {

// An archive to load: named directly, or found in a searched folder and
// reached from it again, step by step, when it is opened.
struct FoundArchive {
    std::wstring path;                 // as the user reads it
    std::wstring searched;             // the folder it was found in; empty when named directly
    std::vector<std::wstring> steps;   // the folders below that one, then the file's name
};

// A folder whose contents stay unknown.
struct UnsearchableFolder {
    std::wstring path;
    platform::ErrorCode error = platform::error::success;
};

struct ArchivesFound {
    std::vector<FoundArchive> archives;
    std::vector<UnsearchableFolder> unsearchable;
};

// The archives that paths name (UTF-8), in order: a file as it is, a folder
// searched below it too for ".tavisk" and ".tavisk.p7m" files, as the role's fetch folder holds
// them (FOLDER/HOST/HOST.tavisk), in name order; links are never entered.
ArchivesFound archivesNamed(const std::vector<std::string>& paths, platform::Folders& folders, wchar_t separator);

// Opens a found archive; nothing, with the error set, when it cannot be read.
std::unique_ptr<platform::FileStream> openArchive(const FoundArchive& archive, platform::Folders& folders,
                                                  const platform::FileSystem& files, platform::ErrorCode& error);

}  // namespace fleet
