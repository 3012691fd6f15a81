#pragma once
#include "platform/FileSystem.h"
#include "platform/Folders.h"

#include <memory>
#include <string>
#include <vector>

namespace fleet {

// An archive to load: named directly, or found in a searched folder and opened
// from the folder it was found in, held open since, or reached again step by step.
struct FoundArchive {
    std::wstring path;                 // as the user reads it
    std::wstring searched;             // the folder searched; empty when named directly
    std::vector<std::wstring> steps;   // the folders below that one, then the file's name
    std::shared_ptr<platform::OpenFolder> folder;  // the folder it is in, while held open
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

// Opens found archives one after the other. It keeps the folders it reached the last one
// through, so that the next one opens only the folders that differ: each reopening is a
// round trip to the server under Wine.
class ArchiveOpener {
public:
    ArchiveOpener(platform::Folders& folders, const platform::FileSystem& files) : folders_(folders), files_(files) {}

    // Nothing, with the error set, when the archive cannot be read. Gives the held folder back.
    std::unique_ptr<platform::FileStream> open(FoundArchive& archive, platform::ErrorCode& error);

private:
    platform::Folders& folders_;
    const platform::FileSystem& files_;
    std::wstring searched_;
    std::vector<std::wstring> steps_;                           // the folders below searched_ that chain_ holds
    std::vector<std::unique_ptr<platform::OpenFolder>> chain_;  // searched_, then one per step
};

}  // namespace fleet
