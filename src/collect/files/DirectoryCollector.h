#pragma once
#include "collect/files/FileProperties.h"
#include "dispatch/ReportSink.h"
#include "platform/FileQueries.h"
#include "platform/Host.h"

#include <string>
#include <string_view>

namespace files {

// The six directory listings. Entry paths are the directory's path, its
// separator and the entry's name. The recursive ones go down from each open
// directory to the next, never through a link, and enter each directory once
// however many links or mounts lead to it: the work stays bounded by the tree.
// A directory that cannot be listed, or not to its end, gets an element naming
// it and the reason, where its missing-directory element would stand (the
// recursive ones in the directory section).
class DirectoryCollector {
public:
    DirectoryCollector(platform::FileQueries& queries, const platform::Host& host, wchar_t separator)
        : queries_(queries), host_(host), separator_(separator) {}

    void getDirectories(const std::wstring& path, ReportSink& directory);
    void getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory, ReportSink& file);
    void getFiles(const std::wstring& path, ReportSink& file);
    // The directory and all below it, each after the directories it holds.
    void getDirectoriesRecursively(const std::wstring& path, ReportSink& directory);
    // Everything below the directory, each directory before what it holds.
    void getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directory, ReportSink& file);
    // Its findings never reach the report, so no walk is spent on them.
    void getFilesRecursively(const std::wstring& path);

private:
    struct OpenDirectory;

    std::wstring prefixOf(const std::wstring& path) const;
    // The text of an element for a directory that could not be read.
    std::wstring unreadable(platform::ErrorCode failure) const;
    // The existence test of every listing.
    bool isDirectory(const std::wstring& path) const;
    // Lists one directory, handing each entry but "." and ".." with its path to
    // onEntry; the listing's failure, success when it was read to its end.
    template <class OnEntry>
    platform::ErrorCode forEachEntry(const std::wstring& path, OnEntry onEntry);
    // Walks below the directory depth first, entering each directory once and
    // never through a link. onEntry(listing, entry, entryPath) sees every entry
    // in listing order, a directory before what it holds; onLeave(name, listing)
    // sees each directory as the walk leaves it, and one reached again in place
    // of entering it. A directory's name is its entry path with a separator,
    // the walk's own directory the path as given. Only the path of the entry
    // at hand is held, never one per level: a deep tree costs memory by its
    // depth, not by its depth times its path length.
    template <class OnEntry, class OnLeave>
    void walkTree(const std::wstring& path, OnEntry onEntry, OnLeave onLeave);

    platform::FileQueries& queries_;
    const platform::Host& host_;
    wchar_t separator_;
};

}  // namespace files
