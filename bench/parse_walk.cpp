// Parses and walks a generated configuration of N requests; prints the median
// time of several runs for a range of sizes, so that the growth can be read off.
#include "config/XmlParser.h"
#include "dispatch/Dispatcher.h"
#include "text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

class IdleCollectors : public Collectors {
public:
    void getKey(const std::wstring&, ReportSink& out) override { out << L"k"; }
    void getValue(const std::wstring&, ReportSink& out) override { out << L"v"; }
    void getFileVersion(const std::wstring&, ReportSink& out) override { out << L"f"; }
    void getDirectories(const std::wstring&, ReportSink& out) override { out << L"d"; }
    void getDirectoriesRecursively(const std::wstring&, ReportSink&) override {}
    void getDirectoriesAndFiles(const std::wstring&, ReportSink&, ReportSink&) override {}
    void getDirectoriesAndFilesRecursively(const std::wstring&, ReportSink&, ReportSink&) override {}
    void getFiles(const std::wstring&, ReportSink&) override {}
    void getFilesRecursively(const std::wstring&) override {}
    void getSystem(const std::wstring&, ReportSink&) override {}
    void getUser(const std::wstring&, ReportSink&) override {}
    void serviceStatus(const std::wstring&, ReportSink&) override {}
    void allServices(ReportSink&) override {}
    std::wstring systemFigures() override { return L""; }
};

class NoFiles : public platform::FileSystem {
public:
    std::unique_ptr<platform::FileStream> openForReading(const std::wstring&, platform::ErrorCode& error) const override {
        error = platform::error::fileNotFound;
        return nullptr;
    }
    std::unique_ptr<platform::FileStream> openPrivate(const std::wstring& path, platform::ErrorCode& error) const override {
        return openForReading(path, error);
    }
    std::wstring settingsFolder(platform::ErrorCode& error) override {
        error = platform::error::pathNotFound;
        return {};
    }
    std::unique_ptr<platform::OwnFolder> openFolder(const std::wstring&, platform::ErrorCode& error) override {
        error = platform::error::accessDenied;
        return nullptr;
    }
    wchar_t separator() const override { return L'\\'; }
    bool ignoresCase() const override { return true; }
};

// Blocks of 50 requests under alternating categories, with comments and
// indentation, about 100 characters a request.
std::wstring configuration(int requests) {
    const wchar_t* categories[][2] = {{L"Registry", L"getKey"}, {L"File", L"getFileVersion"},
                                      {L"Registry", L"getValue"}, {L"Directory", L"getDirectories"}};
    std::wstring text = L"<?xml version=\"1.0\"?>\r\n<config>\r\n";
    for (int i = 0; i < requests; ++i) {
        const auto& category = categories[(i / 50) % 4];
        const std::wstring function = category[1];
        if (i % 50 == 0) text += L"  <" + std::wstring(category[0]) + L"> <!-- block " + std::to_wstring(i) + L" -->\r\n";
        text += L"    <" + function + L">HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Component" +
                std::to_wstring(i) + L"\\Settings\\Value</" + function + L">\r\n";
        if (i % 50 == 49) text += L"  </" + std::wstring(category[0]) + L">\r\n";
    }
    return text + L"</config>\r\n";
}

// Groups that repeat after many siblings: each merge looks for the first group
// of its name among all of them.
std::wstring repeatedGroups(int requests) {
    std::wstring text = L"<config>";
    for (int i = 0; i < requests / 2; ++i) text += L"<Other><getKey>x</getKey></Other>";
    for (int i = 0; i < requests / 2; ++i) text += L"<Registry><getKey>HKEY_LOCAL_MACHINE\\SOFTWARE\\X</getKey></Registry>";
    return text + L"</config>";
}

double medianMilliseconds(const std::wstring& text, int runs) {
    IdleCollectors collectors;
    NoFiles files;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        TextSink registry, file, directory, system, service;
        const ReportSections sections{registry, file, directory, system, service};
        const auto start = std::chrono::steady_clock::now();
        const auto root = XmlParser().parse({text::wideToUtf8(text), TextEncoding::utf8});
        Dispatcher(collectors, files, sections).walk(*root);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    for (const auto& [shape, make] : {std::pair{"blocks of requests", &configuration},
                                      std::pair{"groups repeated after many siblings", &repeatedGroups}}) {
        std::printf("%s\n%10s %12s %12s %14s\n", shape, "requests", "characters", "median ms", "ns/character");
        for (const int requests : {5000, 10000, 20000, 40000, 80000}) {
            const std::wstring text = make(requests);
            const double ms = medianMilliseconds(text, 15);
            std::printf("%10d %12zu %12.2f %14.2f\n", requests, text.size(), ms,
                        ms * 1e6 / static_cast<double>(text.size()));
        }
    }
}
