#include "collect/files/DirectoryCollector.h"

#include "platform/FileSystem.h"

#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace files {
namespace {

using platform::DirectoryEntry;
using platform::DirectoryListing;

bool isSelfOrParent(const std::wstring& name) { return name == L"." || name == L".."; }

// Next entry other than "." and "..".
bool nextEntry(DirectoryListing& listing, DirectoryEntry& entry) {
    while (listing.next(entry)) {
        if (!isSelfOrParent(entry.name)) return true;
    }
    return false;
}

void appendTimes(std::wstring& out, std::int64_t lastWrite, std::int64_t creation) {
    appendNumber(out, lastWrite);
    out += L'|';
    appendNumber(out, creation);
}

// Each element is composed in one buffer kept by the caller and written whole.
void writeDirectoryElement(ReportSink& out, std::wstring& element, const std::wstring& path, std::int64_t lastWrite,
                           std::int64_t creation) {
    element.assign(L"<directory name=\"");
    element += path;
    element += L"\">";
    appendTimes(element, lastWrite, creation);
    element += L"</directory>\n";
    out << element;
}

void writeDirectoryElement(ReportSink& out, std::wstring& element, const std::wstring& path,
                           const platform::FileTimes& times) {
    writeDirectoryElement(out, element, path, secondsSince1970(times.lastWrite), secondsSince1970(times.creation));
}

void writeFileElement(ReportSink& out, std::wstring& element, const FileProperties& file) {
    element.assign(L"<properties name=\"");
    element += file.path;
    element += L"\">";
    if (file.failure != Failure::none) {
        element += file.failureText();
    } else {
        appendTimes(element, file.lastWriteTime, file.creationTime);
        element += L'|';
        appendNumber(element, file.size);
        element += L'|';
        element += file.fileVersion();
        element += L'|';
        element += file.productVersion();
    }
    element += L"</properties>\n";
    out << element;
}

void writeMissing(ReportSink& out, const wchar_t* element, const std::wstring& path, const wchar_t* text) {
    out << L"<" << element << L" name=\"" << path << L"\">" << text << L"</" << element << L">\n";
}

// The directories one request has entered.
class EnteredDirectories {
public:
    // Notes the listed directory; false when it was entered before. A directory
    // whose identity is unknown cannot be told apart and counts as new.
    bool enter(const DirectoryListing& listing) {
        const auto identity = listing.identity();
        return !identity || entered_.insert({identity->volume, identity->index}).second;
    }

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> entered_;
};

}  // namespace

// A directory the walk is inside of.
struct DirectoryCollector::OpenDirectory {
    std::wstring name;
    std::wstring prefix;
    std::unique_ptr<DirectoryListing> listing;
};

std::wstring DirectoryCollector::prefixOf(const std::wstring& path) const {
    return !path.empty() && path.back() == separator_ ? path : path + separator_;
}

bool DirectoryCollector::isDirectory(const std::wstring& path) const {
    return !platform::holdsNul(path) && queries_.isDirectory(path);
}

template <class OnEntry>
void DirectoryCollector::forEachEntry(const std::wstring& path, OnEntry onEntry) {
    const std::wstring prefix = prefixOf(path);
    const auto listing = queries_.list(prefix);
    DirectoryEntry entry;
    while (nextEntry(*listing, entry)) onEntry(*listing, entry, prefix + entry.name);
}

void DirectoryCollector::getDirectories(const std::wstring& path, ReportSink& directory) {
    if (!isDirectory(path)) return writeMissing(directory, L"directory", path, L"Does not exist");
    std::wstring element;
    forEachEntry(path, [&](DirectoryListing&, const DirectoryEntry& entry, const std::wstring& entryPath) {
        if (entry.isDirectory) writeDirectoryElement(directory, element, entryPath, entry.times);
    });
}

void DirectoryCollector::getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory, ReportSink& file) {
    if (!isDirectory(path)) {
        writeMissing(directory, L"directory", path, L"Directory could not be found");
        return writeMissing(file, L"properties", path, L"Directory could not be found");
    }
    std::wstring element;
    forEachEntry(path, [&](DirectoryListing& listing, const DirectoryEntry& entry, const std::wstring& entryPath) {
        if (entry.isDirectory) {
            writeDirectoryElement(directory, element, entryPath, entry.times);
        } else {
            writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
        }
    });
}

void DirectoryCollector::getFiles(const std::wstring& path, ReportSink& file) {
    if (!isDirectory(path)) return writeMissing(file, L"properties", path, L"Directory not found");
    std::wstring element;
    forEachEntry(path, [&](DirectoryListing& listing, const DirectoryEntry& entry, const std::wstring& entryPath) {
        if (!entry.isDirectory) {
            writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
        }
    });
}

template <class OnEntry, class OnLeave>
void DirectoryCollector::walkTree(const std::wstring& path, OnEntry onEntry, OnLeave onLeave) {
    EnteredDirectories entered;
    std::vector<OpenDirectory> walk;
    const auto enter = [&](const std::wstring& name, std::unique_ptr<DirectoryListing> listing) {
        if (!entered.enter(*listing)) return onLeave(name, *listing);
        walk.push_back({name, prefixOf(name), std::move(listing)});
    };
    enter(path, queries_.list(prefixOf(path)));
    DirectoryEntry entry;
    while (!walk.empty()) {
        OpenDirectory& current = walk.back();
        if (!nextEntry(*current.listing, entry)) {
            onLeave(current.name, *current.listing);
            walk.pop_back();
            continue;
        }
        const std::wstring entryPath = current.prefix + entry.name;
        onEntry(*current.listing, entry, entryPath);
        if (entry.isDirectory && !entry.isLink) {
            const std::wstring name = entryPath + separator_;
            enter(name, current.listing->listEntry(name));
        }
    }
}

// A directory's element is written as the walk leaves it, after those below it.
void DirectoryCollector::getDirectoriesRecursively(const std::wstring& path, ReportSink& directory) {
    if (!isDirectory(path)) return writeMissing(directory, L"directory", path, L"Directory does not Exist");
    std::wstring element;
    walkTree(
        path,
        [&](DirectoryListing&, const DirectoryEntry& entry, const std::wstring& entryPath) {
            if (entry.isDirectory && entry.isLink) {
                writeDirectoryElement(directory, element, entryPath + separator_, entry.times);
            }
        },
        // Times that cannot be read are written as 0, not as the start of the file-system era.
        [&](const std::wstring& name, const DirectoryListing& listing) {
            if (const auto times = listing.ownTimes()) return writeDirectoryElement(directory, element, name, *times);
            writeDirectoryElement(directory, element, name, 0, 0);
        });
}

// Each record is written as the walk meets it: held until the end, the records
// of a large tree would weigh more than the report itself.
void DirectoryCollector::getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directory,
                                                           ReportSink& file) {
    if (!isDirectory(path)) return;
    std::wstring element;
    walkTree(
        path,
        [&](DirectoryListing& listing, const DirectoryEntry& entry, const std::wstring& entryPath) {
            if (entry.isDirectory) {
                const FileProperties record = directoryProperties(entryPath, entry.times);
                writeDirectoryElement(directory, element, record.path, record.lastWriteTime, record.creationTime);
            } else {
                writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
            }
        },
        [](const std::wstring&, const DirectoryListing&) {});
}

void DirectoryCollector::getFilesRecursively(const std::wstring&) {}

}  // namespace files
