#pragma once
#include "platform/FileQueries.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// An in-memory file tree. Directories are keyed by their path with a trailing
// backslash and list exactly the entries given, in the order given.
class FakeFileQueries : public platform::FileQueries {
public:
    struct Directory {
        std::vector<platform::DirectoryEntry> entries;
        std::optional<platform::FileTimes> ownTimes;
        std::optional<platform::DirectoryIdentity> identity;
        platform::ErrorCode failure = 0;
    };

    Directory& addDirectory(const std::wstring& prefix) { return directories[prefix]; }

    bool isDirectory(const std::wstring& whole) override {
        ++calls;
        const std::wstring path = asSystemReads(whole);
        return directories.count(path) || directories.count(path + L'\\');
    }

    platform::ErrorCode openForReading(const std::wstring& path) override { return examine(path).failure; }

    platform::FileExamination examine(const std::wstring& path) override {
        ++calls;
        examined.push_back(path);
        if (const auto found = files.find(asSystemReads(path)); found != files.end()) return found->second;
        return platform::FileExamination::failed(isDirectory(path) ? 5 : 2);
    }

    std::unique_ptr<platform::DirectoryListing> list(const std::wstring& prefix) override {
        ++calls;
        listed.push_back(prefix);
        const auto found = directories.find(asSystemReads(prefix));
        return std::make_unique<Listing>(*this, found == directories.end() ? Directory{} : found->second);
    }

    std::map<std::wstring, Directory> directories;
    std::map<std::wstring, platform::FileExamination> files;
    std::vector<std::wstring> examined;
    std::vector<std::wstring> listed;
    int calls = 0;

private:
    // A system call reads a path only up to its first NUL.
    static std::wstring asSystemReads(const std::wstring& path) { return path.substr(0, path.find(L'\0')); }

    class Listing : public platform::DirectoryListing {
    public:
        Listing(FakeFileQueries& owner, Directory directory) : owner_(owner), directory_(std::move(directory)) {}
        bool next(platform::DirectoryEntry& entry) override {
            if (next_ == directory_.entries.size()) return false;
            entry = directory_.entries[next_++];
            return true;
        }
        platform::FileExamination examineEntry(const std::wstring& path) override { return owner_.examine(path); }
        std::unique_ptr<platform::DirectoryListing> listEntry(const std::wstring& prefix) override {
            return owner_.list(prefix);
        }
        platform::ErrorCode failure() const override { return directory_.failure; }
        std::optional<platform::FileTimes> ownTimes() const override { return directory_.ownTimes; }
        std::optional<platform::DirectoryIdentity> identity() const override { return directory_.identity; }

    private:
        FakeFileQueries& owner_;
        Directory directory_;
        std::size_t next_ = 0;
    };
};
