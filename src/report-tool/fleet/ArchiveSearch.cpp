#include "report-tool/fleet/ArchiveSearch.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <algorithm>

namespace fleet {
namespace {

bool isArchiveName(const std::wstring& name) {
    const std::wstring lower = text::lowerAscii(name);
    return (lower.size() > 7 && lower.ends_with(L".tavisk")) || (lower.size() > 11 && lower.ends_with(L".tavisk.p7m"));
}

// One folder of the search: its entries in name order, and how far they are taken.
struct Level {
    std::shared_ptr<platform::OpenFolder> folder;
    std::wstring path;
    std::vector<platform::ListedEntry> entries;
    std::size_t next = 0;
    bool held = false;  // archives found here keep the folder open
};

// Depth first from the open folder, one open folder per level and no recursion,
// so that trees thousands of levels deep are searched whole.
void search(std::unique_ptr<platform::OpenFolder> top, const std::wstring& topPath, wchar_t separator,
            ArchivesFound& found, std::size_t& stillHoldable) {
    std::vector<Level> levels;
    const auto enter = [&](std::unique_ptr<platform::OpenFolder> folder, std::wstring path) {
        Level level{std::move(folder), std::move(path), {}, 0};
        platform::ErrorCode error = platform::error::success;
        if (!level.folder->entries(level.entries, error)) {
            found.unsearchable.push_back({level.path, error});
            return;
        }
        std::sort(level.entries.begin(), level.entries.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        levels.push_back(std::move(level));
    };
    enter(std::move(top), topPath);
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const platform::ListedEntry& entry = level.entries[level.next++];
        const std::wstring path = level.path + separator + entry.name;
        if (entry.attributes & platform::reparsePointAttribute) continue;
        if (entry.attributes & platform::directoryAttribute) {
            platform::ErrorCode error = platform::error::success;
            if (auto inner = level.folder->folder(entry.name, error))
                enter(std::move(inner), path);
            else
                found.unsearchable.push_back({path, error});
        } else if (isArchiveName(entry.name)) {
            FoundArchive archive{path, topPath, {}, nullptr};
            for (auto step = levels.begin() + 1; step != levels.end(); ++step)
                archive.steps.push_back(step[-1].entries[step[-1].next - 1].name);
            archive.steps.push_back(entry.name);
            if (!level.held && stillHoldable > 0) {
                level.held = true;
                --stillHoldable;
            }
            if (level.held) archive.folder = level.folder;
            found.archives.push_back(std::move(archive));
        }
    }
}

}  // namespace

ArchivesFound archivesNamed(const std::vector<std::string>& paths, platform::Folders& folders, wchar_t separator) {
    ArchivesFound found;
    // Archives open from the folder they were found in, kept open where the platform can spare it.
    std::size_t stillHoldable = folders.holdable();
    for (const std::string& path : paths) {
        std::wstring wide = text::utf8ToWide(path);
        while (wide.size() > 1 && wide.back() == separator) wide.pop_back();
        platform::ErrorCode error = platform::error::success;
        if (auto folder = folders.open(wide, error))
            search(std::move(folder), wide, separator, found, stillHoldable);
        else if (error == platform::error::fileNotFound || error == platform::error::pathNotFound)
            found.archives.push_back({wide, {}, {}});  // a file, or nothing: loading tells which
        else
            found.unsearchable.push_back({wide, error});
    }
    return found;
}

std::unique_ptr<platform::FileStream> ArchiveOpener::open(FoundArchive& archive, platform::ErrorCode& error) {
    if (archive.searched.empty()) return files_.openForReading(archive.path, error);
    if (const std::shared_ptr<platform::OpenFolder> held = std::move(archive.folder))
        return held->file(archive.steps.back(), error);
    if (chain_.empty() || archive.searched != searched_) {
        chain_.clear();
        steps_.clear();
        searched_ = archive.searched;
        auto top = folders_.open(searched_, error);
        if (!top) return nullptr;
        chain_.push_back(std::move(top));
    }
    const std::size_t folderSteps = archive.steps.size() - 1;
    std::size_t kept = 0;
    while (kept < steps_.size() && kept < folderSteps && steps_[kept] == archive.steps[kept]) ++kept;
    chain_.resize(kept + 1);
    steps_.resize(kept);
    for (; kept < folderSteps; ++kept) {
        auto inner = chain_.back()->folder(archive.steps[kept], error);
        if (!inner) return nullptr;
        chain_.push_back(std::move(inner));
        steps_.push_back(archive.steps[kept]);
    }
    return chain_.back()->file(archive.steps.back(), error);
}

}  // namespace fleet
