#include "driver/ConfigurationCheck.h"

#include "config/XmlParser.h"
#include "dispatch/Dispatcher.h"
#include "fakes/Configurations.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Reason = SkippedPart::Reason;

struct Skipped {
    std::size_t line;
    Reason reason;
    bool operator==(const Skipped&) const = default;
};

std::vector<Skipped> skippedOf(const ConfigurationCheck& check) {
    std::vector<Skipped> parts;
    for (const SkippedPart& part : check.skipped) parts.push_back({part.line, part.reason});
    return parts;
}

struct Case {
    const wchar_t* text;
    std::size_t served;
    std::vector<Skipped> skipped;
};

// Records what the run shows of its progress.
struct RecordingProgress : Progress {
    void request(std::size_t number, std::size_t total, const std::wstring& function,
                 const std::wstring& value) override {
        shown.push_back(std::to_wstring(number) + L"/" + std::to_wstring(total) + L" " + function + L":" + value);
    }
    void waiting(int) override {}
    void finished() override { shown.push_back(L"finished"); }
    std::vector<std::wstring> shown;
};

}  // namespace

TEST(ConfigurationCheck, NamesEveryReasonWithItsLine) {
    const Case cases[] = {
        {L"<config>\n<Registry>\n<getKey>A</getKey>\n</Registry>\n</config>\n", 1, {}},
        {L"<config><Registry>\n<getKez>A</getKez></Registry></config>", 0, {{2, Reason::unknownFunction}}},
        {L"<config><Directory>\n\n<getUser>u</getUser></Directory></config>", 0, {{3, Reason::wrongCategory}}},
        {L"<config><getKey>A</getKey><Sub><getKey>B</getKey></Sub></config>", 0,
         {{1, Reason::outsideCategory}, {1, Reason::outsideCategory}}},
        {L"<config>\n<Registry a=\"1\"><getKey>A</getKey></Registry>\n</config>", 0,
         {{2, Reason::unrecognisedTag}, {2, Reason::outsideCategory}, {2, Reason::strayEndTag}}},
        {L"<config><Registry><getKey a=\"1\">A</getKey></Registry></config>", 0, {{1, Reason::unrecognisedContent}}},
        {L"<config><File>\n<getFile>a</getFile>\n<getKey>b</File></config>", 1, {{3, Reason::unclosedElement}}},
        // The first one took the end tag of the second.
        {L"<config><File>\n<getFile>a\n<getFile>b</getFile>\n</File></config>", 0,
         {{2, Reason::unclosedElement}, {2, Reason::strayText}}},
        {L"<config><File><getFile>a</getFile></File>\nstray\n</config>", 1, {{2, Reason::strayText}}},
        {L"<getKey>A</getKey>\n<config><File><getFile>a</getFile></File></config>", 1,
         {{1, Reason::valueOutsideElement}}},
        {L"<config><File><getFile>a</getFile></File></config>\n<other><File><getFile>b</getFile></File></other>", 1,
         {{1, Reason::replacedElement}}},
        {L"<config><File><getFile>a</getFile></File></config>\n<!-- open\n", 1, {{2, Reason::unterminatedComment}}},
        // Positions count in the file as written, comments included.
        {L"<!-- one\ntwo\nthree -->\n<config><File><getKey>a</getKey></File></config>", 0,
         {{4, Reason::wrongCategory}}},
        // Declarations and blanks are the ordinary filling of a file.
        {L"<?xml version=\"1.0\"?>\n<!DOCTYPE x>\n<config>\n\t <File><getFile>a</getFile></File>\n</config>\n", 1, {}},
        {L"<config><File><getFile>a</getFile></File>", 0, {{1, Reason::unclosedElement}}},
    };
    for (const Case& entry : cases) {
        const ConfigurationCheck check = checkConfiguration(configurationOf(entry.text));
        const std::string text(entry.text, entry.text + std::wcslen(entry.text));
        EXPECT_EQ(check.served.size(), entry.served) << text;
        EXPECT_EQ(skippedOf(check), entry.skipped) << text;
    }
}

TEST(ConfigurationCheck, ListsRequestsInRunOrderAfterMerging) {
    const ConfigurationCheck check = checkConfiguration(configurationOf(
        L"<config>\n<Registry><getKey>A</getKey></Registry>\n<File><getFile>f</getFile></File>\n"
        L"<Registry><getValue>B</getValue></Registry>\n</config>"));
    std::vector<std::wstring> order;
    for (const CheckedRequest& request : check.served) {
        order.push_back(std::to_wstring(request.line) + L" " + request.category + L"/" + request.function + L":" +
                        request.value);
    }
    EXPECT_EQ(order, (std::vector<std::wstring>{L"2 Registry/getKey:A", L"4 Registry/getValue:B", L"3 File/getFile:f"}));
}

// The check and its progress must name exactly what a run hands to the collectors.
TEST(ConfigurationCheck, AgreesWithTheRunOnRandomTexts) {
    const std::vector<std::wstring> pieces = {
        L"<config>", L"</config>", L"<Registry>", L"</Registry>", L"<System>", L"</System>", L"<ab>", L"</ab>",
        L"<getKey>", L"</getKey>", L"<getUser>", L"</getUser>", L"<getSystem>", L"</getSystem>", L"<!--", L"-->",
        L"<a b>", L"x", L"\n", L"<"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 5000; ++round) {
        std::wstring text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];

        std::vector<std::wstring> checked;
        std::vector<std::wstring> shown;
        const ConfigurationCheck check = checkConfiguration(configurationOf(text));
        for (const CheckedRequest& request : check.served) {
            checked.push_back(request.function + L":" + request.value);
            shown.push_back(std::to_wstring(shown.size() + 1) + L"/" + std::to_wstring(check.served.size()) + L" " +
                            checked.back());
        }
        RecordingCollectors collectors;
        RecordingProgress progress;
        if (const auto root = XmlParser().parse(configurationOf(text))) {
            FakeFileSystem files;
            TextSink registry, file, directory, system, service;
            Dispatcher(collectors, files, {registry, file, directory, system, service}).walk(*root, &progress);
            shown.push_back(L"finished");
        }
        const std::string shownText(text.begin(), text.end());
        ASSERT_EQ(collectors.calls, checked) << shownText;
        ASSERT_EQ(progress.shown, shown) << shownText;
    }
}
