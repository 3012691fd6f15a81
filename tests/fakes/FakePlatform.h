#pragma once
// In-memory stand-ins for the platform areas the driver and the dispatcher use.
#include "dispatch/Collectors.h"
#include "dispatch/ReportSections.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "fakes/MemoryStream.h"

#include <map>
#include <new>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class FakeHost : public platform::Host {
public:
    std::vector<std::string> commandLine(int, char**) const override { return {}; }
    std::wstring executablePath() const override { return executable; }
    std::optional<std::wstring> computerName() const override { return computer; }
    std::optional<std::int64_t> now() const override { return clock; }
    std::optional<platform::LocalTime> localTime(std::int64_t) const override { return local; }
    std::optional<platform::Account> runningUser() const override { return user; }
    std::wstring errorMessage(platform::ErrorCode code) const override {
        return L"message " + std::to_wstring(code) + L"\r\n";
    }

    std::wstring executable = L"C:\\Tools\\tavisk.exe";
    std::optional<std::wstring> computer = L"PC01";
    std::optional<std::int64_t> clock = 1430395200;
    std::optional<platform::LocalTime> local = platform::LocalTime{115, 3, 30, 14, 5, 0};
    std::optional<platform::Account> user = platform::Account{L"WORKGROUP", L"admin"};
};

class FakeConsole : public platform::Console {
public:
    void write(const std::wstring& text) override { output += text; }
    void writeNarrowError(const std::string& text) override { errors += text; }
    void writeNarrowOutput(const std::string& text) override { output += std::wstring(text.begin(), text.end()); }
    void readCharacter() override { ++charactersRead; }
    bool errorIsTerminal() const override { return errorTerminal; }
    void writeError(const std::wstring& text) override { errorOutput += text; }

    std::wstring output;
    std::wstring errorOutput;
    bool errorTerminal = false;
    std::string errors;
    int charactersRead = 0;
};

class FakeFileSystem;

// A folder of the fake file system; its own files are named "own1.tmp",
// "own2.tmp"... and stored under the folder's path.
class FakeFolder : public platform::OwnFolder {
public:
    FakeFolder(FakeFileSystem& files, std::wstring path) : files_(files), path_(std::move(path)) {}
    const std::wstring& path() const override { return path_; }
    std::wstring location() const override { return path_.find(L':') == std::wstring::npos ? L"c:\\work\\" + path_ : path_; }
    platform::ErrorCode checkName(const std::wstring& name) const override {
        return name.size() > 255 ? platform::error::filenameTooLong : platform::error::success;
    }
    platform::OwnFile createOwn(platform::ErrorCode& error) override;
    platform::ErrorCode publishOwn(const std::wstring& name, const std::wstring& target, bool replace) override;
    platform::ErrorCode publishResult(const std::wstring& name, const std::wstring& target) override {
        return publishOwn(name, target, true);
    }
    void keepOwn(const std::wstring& name) override;
    void removeOwn(const std::wstring& name) override;

private:
    FakeFileSystem& files_;
    const std::wstring path_;
};

// Files in memory under their paths; with diskSpace set, the disk runs full.
// A folder named "missing-folder" cannot be opened.
class FakeFileSystem : public platform::FileSystem {
public:
    std::unique_ptr<platform::FileStream> openForReading(const std::wstring& path,
                                                         platform::ErrorCode& error) const override {
        const auto found = files.find(path);
        if (found == files.end() || own.count(path)) {
            error = platform::error::fileNotFound;
            return nullptr;
        }
        auto stream = std::make_unique<MemoryStream>(found->second);
        if (const auto damage = damagedAt.find(path); damage != damagedAt.end()) stream->failReadsAt(damage->second);
        return stream;
    }
    std::unique_ptr<platform::FileStream> openPrivate(const std::wstring& path, platform::ErrorCode& error) const override {
        return openForReading(path, error);
    }
    std::wstring settingsFolder(platform::ErrorCode&) override { return L"c:\\settings\\"; }
    std::unique_ptr<platform::OwnFolder> openFolder(const std::wstring& directory,
                                                    platform::ErrorCode& error) override {
        if (directory.find(L"missing-folder") != std::wstring::npos) {
            error = platform::error::pathNotFound;
            return nullptr;
        }
        return std::make_unique<FakeFolder>(*this, directory);
    }
    wchar_t separator() const override { return L'\\'; }
    bool ignoresCase() const override { return caseInsensitive; }

    mutable std::map<std::wstring, std::string> files;
    std::set<std::wstring> own;
    std::set<std::wstring> directories;
    // Files whose reads fail from this position on.
    std::map<std::wstring, std::size_t> damagedAt;
    std::optional<std::size_t> diskSpace;
    int created = 0;
    bool caseInsensitive = true;
};

inline platform::OwnFile FakeFolder::createOwn(platform::ErrorCode&) {
    const std::wstring name = L"own" + std::to_wstring(++files_.created) + L".tmp";
    files_.own.insert(path_ + name);
    return {std::make_unique<MemoryStream>(files_.files[path_ + name], files_.diskSpace ? &*files_.diskSpace : nullptr),
            name};
}

inline platform::ErrorCode FakeFolder::publishOwn(const std::wstring& name, const std::wstring& target, bool replace) {
    const std::wstring to = path_ + target;
    if (files_.directories.count(to) || (!replace && files_.files.count(to))) return platform::error::fileExists;
    files_.files[to] = files_.files[path_ + name];
    files_.files.erase(path_ + name);
    files_.own.erase(path_ + name);
    return platform::error::success;
}

inline void FakeFolder::keepOwn(const std::wstring& name) { files_.own.erase(path_ + name); }

inline void FakeFolder::removeOwn(const std::wstring& name) {
    files_.files.erase(path_ + name);
    files_.own.erase(path_ + name);
}

// A report kept as bytes in memory.
class StringOutput : public ReportOutput {
public:
    platform::ErrorCode write(std::string_view more) override {
        if (limit && bytes.size() + more.size() > *limit) return platform::error::diskFull;
        bytes += more;
        return platform::error::success;
    }
    std::uint64_t size() const override { return bytes.size(); }
    platform::ErrorCode truncate(std::uint64_t size) override {
        bytes.resize(static_cast<std::size_t>(size));
        return platform::error::success;
    }

    std::string bytes;
    std::optional<std::size_t> limit;
};

// Records every call as one line and writes a recognisable element for it; the
// value "throw" makes a collector fail with an exception.
class RecordingCollectors : public Collectors {
public:
    void getKey(const std::wstring& path, ReportSink& out) override { note(L"getKey", path, out); }
    void getValue(const std::wstring& path, ReportSink& out) override { note(L"getValue", path, out); }
    void getFileVersion(const std::wstring& path, ReportSink& out) override { note(L"getFileVersion", path, out); }
    void getDirectories(const std::wstring& path, ReportSink& out) override { note(L"getDirectories", path, out); }
    void getDirectoriesRecursively(const std::wstring& path, ReportSink& out) override {
        note(L"getDirectoriesRecursively", path, out);
    }
    void getDirectoriesAndFiles(const std::wstring& path, ReportSink& directories, ReportSink& files) override {
        note(L"getDirectoriesAndFiles", path, directories);
        files << L"<f>" << path << L"</f>\n";
    }
    void getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directories,
                                           ReportSink& files) override {
        note(L"getDirectoriesAndFilesRecursively", path, directories);
        files << L"<f>" << path << L"</f>\n";
    }
    void getFiles(const std::wstring& path, ReportSink& out) override { note(L"getFiles", path, out); }
    void getFilesRecursively(const std::wstring& path) override {
        TextSink ignored;
        note(L"getFilesRecursively", path, ignored);
    }
    void getSystem(const std::wstring& item, ReportSink& out) override { note(L"getSystem", item, out); }
    void getUser(const std::wstring& account, ReportSink& out) override { note(L"getUser", account, out); }
    void serviceStatus(const std::wstring& name, ReportSink& out) override { note(L"serviceStatus", name, out); }
    void allServices(ReportSink& out) override { note(L"allServices", L"", out); }
    std::wstring systemFigures() override {
        calls.push_back(L"systemFigures");
        if (figuresThrow) throw std::bad_alloc();
        return L"uptime=\"5\" processes=\"7\"";
    }

    std::vector<std::wstring> calls;
    // Fails the report after every request was served.
    bool figuresThrow = false;

private:
    void note(const std::wstring& function, const std::wstring& value, ReportSink& out) {
        calls.push_back(function + L":" + value);
        out << L"<" << function << L">" << value;
        if (value == L"exhausting") throw std::bad_alloc();
        if (value == L"throwing") throw std::runtime_error("broken");
        out << L"</" << function << L">\n";
    }
};
