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

// The ".tavisk" and sealed ".tavisk.p7m" files in a folder and below it, in name order; links are listed
// but never entered, so a loop of links cannot hold the walk.
void collectArchives(const std::wstring& folder, const platform::FileStreams& streams,
                     std::vector<std::wstring>& found) {
    std::vector<platform::ListedEntry> entries = streams.list(folder + streams.separator() + L"*");
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const platform::ListedEntry& entry : entries) {
        if (entry.name == L"." || entry.name == L"..") continue;
        const std::wstring path = folder + streams.separator() + entry.name;
        const bool isFolder = (entry.attributes & platform::directoryAttribute) != 0;
        if (isFolder && !(entry.attributes & platform::reparsePointAttribute))
            collectArchives(path, streams, found);
        else if (!isFolder && isArchiveName(entry.name))
            found.push_back(path);
    }
}

}  // namespace

std::vector<std::wstring> archivesNamed(const std::vector<std::string>& paths, const platform::FileStreams& streams) {
    std::vector<std::wstring> archives;
    for (const std::string& path : paths) {
        std::wstring wide = text::utf8ToWide(path);
        while (wide.size() > 1 && wide.back() == streams.separator()) wide.pop_back();
        if (streams.isDirectory(wide))
            collectArchives(wide, streams, archives);
        else
            archives.push_back(wide);
    }
    return archives;
}

}  // namespace fleet
