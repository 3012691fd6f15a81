#pragma once
#include "collect/files/FileProperties.h"
#include "dispatch/ReportSink.h"
#include "platform/FileQueries.h"

#include <string>
#include <vector>

namespace files {

// The six directory listings. Entry paths are the directory's path, its
// separator and the entry's name.
class DirectoryCollector {
public:
    DirectoryCollector(platform::FileQueries& queries, wchar_t separator) : queries_(queries), separator_(separator) {}

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
    // True when the listed directory is one the walk is already inside of, which
    // only links can cause; entering it again would never end.
    static bool isOnPath(const platform::DirectoryListing& listing, const std::vector<OpenDirectory>& walk);
    // Lists one directory, handing each entry but "." and ".." with its path to onEntry.
    template <class OnEntry>
    void forEachEntry(const std::wstring& path, OnEntry onEntry);
    // Hands the record of every directory and file below the directory to
    // onEntry, each directory before what it holds, in listing order.
    template <class OnEntry>
    void forEachEntryRecursively(const std::wstring& path, OnEntry onEntry);

    platform::FileQueries& queries_;
    wchar_t separator_;
};

}  // namespace files
