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

// Files in memory under their paths; with diskSpace set, the disk runs full.
// Own files are named "own1.tmp", "own2.tmp"... in their directory; a directory
// named "missing-folder" cannot take any.
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
    platform::OwnFile createOwn(const std::wstring& directory, platform::ErrorCode& error) override {
        if (directory.find(L"missing-folder") != std::wstring::npos) {
            error = platform::error::pathNotFound;
            return {};
        }
        const std::wstring path = directory + L"own" + std::to_wstring(++created) + L".tmp";
        own.insert(path);
        return {std::make_unique<MemoryStream>(files[path], diskSpace ? &*diskSpace : nullptr), path};
    }
    platform::ErrorCode publishOwn(const std::wstring& path, const std::wstring& target, bool replace) override {
        if (directories.count(target) || (!replace && files.count(target))) return platform::error::fileExists;
        files[target] = files[path];
        files.erase(path);
        own.erase(path);
        return platform::error::success;
    }
    void keepOwn(const std::wstring& path) override { own.erase(path); }
    void removeOwn(const std::wstring& path) override {
        files.erase(path);
        own.erase(path);
    }
    std::wstring fullPath(const std::wstring& path) const override {
        return path.find(L':') == std::wstring::npos ? L"c:\\work\\" + path : path;
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
