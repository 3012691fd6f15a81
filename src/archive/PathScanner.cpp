#include "archive/PathScanner.h"

#include "archive/PathFunctions.h"

#include <cstddef>

namespace SevenZip::intl {
namespace {

bool isDotEntry(const std::wstring& name) { return name == L"." || name == L".."; }

// Links and junctions can lead back up the tree; following them could walk for ever.
bool isLink(const FileEntry& entry) { return (entry.attributes & platform::reparsePointAttribute) != 0; }

}  // namespace

void PathScanner::scan(const std::wstring& root, const std::wstring& pattern, Callback& callback) const {
    callback.beginScan();
    std::vector<std::wstring> queue{root};
    // The queue only grows at its end, so an index walks it first in, first out.
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const std::wstring directory = queue[next];
        if (examineFiles(directory, pattern, callback)) break;
        queueSubdirectories(directory, callback, queue);
    }
    callback.endScan();
}

bool PathScanner::isEmpty(const std::wstring& directory) const {
    IsEmptyCallback emptiness;
    scan(directory, L"*", emptiness);
    return emptiness.isEmpty();
}

bool PathScanner::examineFiles(const std::wstring& directory, const std::wstring& pattern,
                               Callback& callback) const {
    const auto listed = files_.list(combinePath(directory, pattern, files_.separator()));
    if (listed.empty()) return false;
    callback.enterDirectory(directory);
    for (const platform::ListedEntry& item : listed) {
        const FileEntry entry = entryOf(directory, item);
        if (entry.isDirectory || isDotEntry(entry.name)) continue;
        bool exit = false;
        callback.examineFile(entry, exit);
        if (exit) return true;
    }
    callback.leaveDirectory(directory);
    return false;
}

void PathScanner::queueSubdirectories(const std::wstring& directory, Callback& callback,
                                      std::vector<std::wstring>& queue) const {
    for (const platform::ListedEntry& item : files_.list(combinePath(directory, L"*", files_.separator()))) {
        const FileEntry entry = entryOf(directory, item);
        if (entry.isDirectory && !isDotEntry(entry.name) && !isLink(entry) && callback.shouldDescend(entry)) {
            queue.push_back(entry.path);
        }
    }
}

FileEntry PathScanner::entryOf(const std::wstring& directory, const platform::ListedEntry& listed) const {
    return FileEntry{listed.name,
                     listed.lastWriteTime,
                     listed.creationTime,
                     listed.lastAccessTime,
                     listed.size,
                     listed.attributes,
                     (listed.attributes & platform::directoryAttribute) != 0,
                     combinePath(directory, listed.name, files_.separator())};
}

void ScannerCallback::examineFile(const FileEntry& file, bool& exit) {
    files_.push_back(file);
    if (onlyFirst_) exit = true;
}

void IsEmptyCallback::examineFile(const FileEntry&, bool& exit) {
    isEmpty_ = false;
    exit = true;
}

}  // namespace SevenZip::intl
