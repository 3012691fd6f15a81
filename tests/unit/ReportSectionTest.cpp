#include "dispatch/ReportSections.h"

#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

// U+1F600 in two writes: split between its surrogates where wide characters have 16 bits.
std::vector<std::wstring> pieces() {
    std::vector<std::wstring> writes = {L"a", L"\u00E4\n", L"\u20AC"};
    if constexpr (sizeof(wchar_t) == 2) {
        writes.push_back(std::wstring(1, static_cast<wchar_t>(0xD83D)));
        writes.push_back(std::wstring(1, static_cast<wchar_t>(0xDE00)) + L"x\ny");
    } else {
        writes.push_back(std::wstring(1, static_cast<wchar_t>(0x1F600)) + L"x\ny");
    }
    return writes;
}

const std::string expectedBytes = "a\xC3\xA4\r\n\xE2\x82\xAC\xF0\x9F\x98\x80x\r\ny";

}  // namespace

// Every buffer size puts the spill boundary somewhere else, inside characters too.
TEST(ReportSection, BytesAreTheSameWhereverTheBufferSpills) {
    for (const std::size_t bufferSize : {1u, 2u, 3u, 5u, 8u, 1u << 20}) {
        FakeFileSystem files;
        std::string report;
        {
            ReportSection section(files, L"r.xml.file", bufferSize);
            EXPECT_TRUE(section.empty());
            for (const std::wstring& piece : pieces()) section << piece;
            EXPECT_FALSE(section.empty());
            EXPECT_EQ(files.files.count(L"r.xml.file.tmp"), bufferSize < expectedBytes.size() ? 1u : 0u);
            MemoryStream stream(report);
            EXPECT_EQ(section.drainTo(stream), 0u);
            EXPECT_TRUE(files.files.empty()) << "spill file beside the finished report";
        }
        EXPECT_EQ(report, expectedBytes) << bufferSize;
        EXPECT_TRUE(files.files.empty()) << "spill file left behind";
    }
}

TEST(ReportSection, ALoneSurrogateBecomesTheReplacementCharacter) {
    FakeFileSystem files;
    ReportSection section(files, L"s", 4);
    section << std::wstring(1, static_cast<wchar_t>(0xDC00)) << L"\n" << std::wstring(1, static_cast<wchar_t>(0xD800));
    std::string report;
    MemoryStream stream(report);
    EXPECT_EQ(section.drainTo(stream), 0u);
    EXPECT_EQ(report, "\xEF\xBF\xBD\r\n\xEF\xBF\xBD");
}

// A failed request takes back what it wrote, also what had gone to the spill file.
TEST(ReportSection, TruncationTakesBackTextWhereverItWent) {
    for (const std::size_t bufferSize : {2u, 64u}) {
        FakeFileSystem files;
        ReportSection section(files, L"r", bufferSize);
        section << L"kept\n";
        const std::uint64_t mark = section.tell();
        section << L"half-written <element";
        section.truncate(mark);
        section << L"next\n";
        std::string report;
        MemoryStream stream(report);
        EXPECT_EQ(section.drainTo(stream), 0u);
        EXPECT_EQ(report, "kept\r\nnext\r\n") << bufferSize;
    }
}

// A taken name is passed over and left as it was.
TEST(ReportSection, SpillsUnderAFreeNameAndRemovesOnlyItsOwnFile) {
    FakeFileSystem files;
    files.files[L"r.xml.file.tmp"] = "someone else's";
    files.links.insert(L"r.xml.file.1.tmp");
    {
        ReportSection section(files, L"r.xml.file", 2);
        section << L"abc";
        EXPECT_EQ(files.files.at(L"r.xml.file.2.tmp"), "abc");
    }
    EXPECT_EQ(files.files, (std::map<std::wstring, std::string>{{L"r.xml.file.tmp", "someone else's"}}));
}

// A spill that fails, and a report that cannot take the bytes, are failures, never a short section.
TEST(ReportSection, WriteFailuresAreAnswered) {
    FakeFileSystem files;
    files.diskSpace = 3;
    std::string report;
    {
        ReportSection section(files, L"r.xml.file", 2);
        section << L"abcdef";
        MemoryStream stream(report);
        EXPECT_EQ(section.drainTo(stream), platform::error::diskFull);
    }
    EXPECT_TRUE(files.files.empty());

    files.diskSpace = 4;
    ReportSection section(files, L"r.xml.file", 1 << 20);
    section << L"abcdef";
    MemoryStream full(files.files[L"r.xml"], &*files.diskSpace);
    EXPECT_EQ(section.drainTo(full), platform::error::diskFull);
    EXPECT_EQ(files.files[L"r.xml"], "abcd");
}
