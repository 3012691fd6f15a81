#pragma once
#include "platform/FileStreams.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SevenZip::intl {

// One file or directory found by the scanner; times in 100 ns units since 1601.
struct FileEntry {
    std::wstring name;
    std::uint64_t lastWriteTime = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t lastAccessTime = 0;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
    bool isDirectory = false;
    std::wstring path;
};

// Walks a directory tree breadth first and shows each matching file to a callback.
class PathScanner {
public:
    class Callback {
    public:
        virtual ~Callback() = default;
        virtual void beginScan() {}
        virtual void endScan() {}
        virtual bool shouldDescend(const FileEntry& directory) = 0;
        virtual void enterDirectory(const std::wstring&) {}
        virtual void leaveDirectory(const std::wstring&) {}
        // Setting exit ends the whole scan.
        virtual void examineFile(const FileEntry& file, bool& exit) = 0;
    };

    explicit PathScanner(const platform::FileStreams& files) : files_(files) {}

    void scan(const std::wstring& root, const std::wstring& pattern, Callback& callback) const;
    // True when no file lies anywhere below the directory; empty subdirectories do not count.
    bool isEmpty(const std::wstring& directory) const;

private:
    bool examineFiles(const std::wstring& directory, const std::wstring& pattern, Callback& callback) const;
    void queueSubdirectories(const std::wstring& directory, Callback& callback,
                             std::vector<std::wstring>& queue) const;
    FileEntry entryOf(const std::wstring& directory, const platform::ListedEntry& listed) const;

    const platform::FileStreams& files_;
};

// Collects the files it is shown.
class ScannerCallback : public PathScanner::Callback {
public:
    ScannerCallback(bool recursive, bool onlyFirst) : recursive_(recursive), onlyFirst_(onlyFirst) {}

    bool shouldDescend(const FileEntry&) override { return recursive_; }
    void examineFile(const FileEntry& file, bool& exit) override;
    const std::vector<FileEntry>& files() const { return files_; }

private:
    std::vector<FileEntry> files_;
    bool recursive_;
    bool onlyFirst_;
};

// Stops at the first file it is shown.
class IsEmptyCallback : public PathScanner::Callback {
public:
    bool shouldDescend(const FileEntry&) override { return true; }
    void examineFile(const FileEntry&, bool& exit) override;
    bool isEmpty() const { return isEmpty_; }

private:
    bool isEmpty_ = true;
};

}  // namespace SevenZip::intl
