#include "collect/files/DirectoryCollector.h"

#include "platform/FileSystem.h"

#include <memory>
#include <optional>
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
void writeElement(ReportSink& out, std::wstring& element, const wchar_t* name, std::wstring_view path,
                  std::wstring_view text) {
    element.assign(L"<");
    element += name;
    element += L" name=\"";
    element += path;
    element += L"\">";
    element += text;
    element += L"</";
    element += name;
    element += L">\n";
    out << element;
}

// Times that cannot be read are written as 0, not as the start of the file-system era.
void writeDirectoryElement(ReportSink& out, std::wstring& element, std::wstring_view path,
                           const std::optional<platform::FileTimes>& times) {
    std::wstring text;
    appendTimes(text, times ? secondsSince1970(times->lastWrite) : 0, times ? secondsSince1970(times->creation) : 0);
    writeElement(out, element, L"directory", path, text);
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
    std::wstring composed;
    writeElement(out, composed, element, path, text);
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

// A directory the walk is inside of: where its entries' paths start.
struct DirectoryCollector::OpenDirectory {
    std::size_t prefixLength;
    std::unique_ptr<DirectoryListing> listing;
};

std::wstring DirectoryCollector::prefixOf(const std::wstring& path) const {
    return !path.empty() && path.back() == separator_ ? path : path + separator_;
}

std::wstring DirectoryCollector::unreadable(platform::ErrorCode failure) const {
    std::wstring message = host_.errorMessage(failure);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    if (message.empty()) message = L"Error " + std::to_wstring(failure);
    return L"Directory could not be read: " + message;
}

bool DirectoryCollector::isDirectory(const std::wstring& path) const {
    return !platform::holdsNul(path) && queries_.isDirectory(path);
}

template <class OnEntry>
platform::ErrorCode DirectoryCollector::forEachEntry(const std::wstring& path, OnEntry onEntry) {
    const std::wstring prefix = prefixOf(path);
    const auto listing = queries_.list(prefix);
    DirectoryEntry entry;
    while (nextEntry(*listing, entry)) onEntry(*listing, entry, prefix + entry.name);
    return listing->failure();
}

void DirectoryCollector::getDirectories(const std::wstring& path, ReportSink& directory) {
    if (!isDirectory(path)) return writeMissing(directory, L"directory", path, L"Does not exist");
    std::wstring element;
    const auto failure =
        forEachEntry(path, [&](DirectoryListing&, const DirectoryEntry& entry, const std::wstring& entryPath) {
            if (entry.isDirectory) writeDirectoryElement(directory, element, entryPath, entry.times);
        });
    if (failure) writeElement(directory, element, L"directory", path, unreadable(failure));
}

void DirectoryCollector::getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory, ReportSink& file) {
    if (!isDirectory(path)) {
        writeMissing(directory, L"directory", path, L"Directory could not be found");
        return writeMissing(file, L"properties", path, L"Directory could not be found");
    }
    std::wstring element;
    const auto failure = forEachEntry(
        path, [&](DirectoryListing& listing, const DirectoryEntry& entry, const std::wstring& entryPath) {
            if (entry.isDirectory) {
                writeDirectoryElement(directory, element, entryPath, entry.times);
            } else {
                writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
            }
        });
    if (!failure) return;
    writeElement(directory, element, L"directory", path, unreadable(failure));
    writeElement(file, element, L"properties", path, unreadable(failure));
}

void DirectoryCollector::getFiles(const std::wstring& path, ReportSink& file) {
    if (!isDirectory(path)) return writeMissing(file, L"properties", path, L"Directory not found");
    std::wstring element;
    const auto failure = forEachEntry(
        path, [&](DirectoryListing& listing, const DirectoryEntry& entry, const std::wstring& entryPath) {
            if (!entry.isDirectory) {
                writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
            }
        });
    if (failure) writeElement(file, element, L"properties", path, unreadable(failure));
}

template <class OnEntry, class OnLeave>
void DirectoryCollector::walkTree(const std::wstring& path, OnEntry onEntry, OnLeave onLeave) {
    EnteredDirectories entered;
    std::vector<OpenDirectory> walk;
    // The prefix of the directory at hand, then the name of its entry at hand.
    std::wstring current = prefixOf(path);
    const auto nameOf = [&](std::size_t prefixLength) {
        return walk.size() == 1 ? std::wstring_view(path) : std::wstring_view(current).substr(0, prefixLength);
    };
    const auto enter = [&](std::unique_ptr<DirectoryListing> listing) {
        walk.push_back({current.size(), std::move(listing)});
        if (entered.enter(*walk.back().listing)) return;
        onLeave(nameOf(current.size()), *walk.back().listing);
        walk.pop_back();
    };
    enter(queries_.list(current));
    DirectoryEntry entry;
    while (!walk.empty()) {
        OpenDirectory& at = walk.back();
        current.resize(at.prefixLength);
        if (!nextEntry(*at.listing, entry)) {
            onLeave(nameOf(at.prefixLength), *at.listing);
            walk.pop_back();
            continue;
        }
        current += entry.name;
        onEntry(*at.listing, entry, current);
        if (entry.isDirectory && !entry.isLink) {
            current += separator_;
            enter(at.listing->listEntry(current));
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
        [&](std::wstring_view name, const DirectoryListing& listing) {
            if (const auto failure = listing.failure()) {
                return writeElement(directory, element, L"directory", name, unreadable(failure));
            }
            writeDirectoryElement(directory, element, name, listing.ownTimes());
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
                writeDirectoryElement(directory, element, entryPath, entry.times);
            } else {
                writeFileElement(file, element, fileProperties(entryPath, listing.examineEntry(entryPath)));
            }
        },
        [&](std::wstring_view name, const DirectoryListing& listing) {
            if (const auto failure = listing.failure()) {
                writeElement(directory, element, L"directory", name, unreadable(failure));
            }
        });
}

void DirectoryCollector::getFilesRecursively(const std::wstring&) {}

}  // namespace files
