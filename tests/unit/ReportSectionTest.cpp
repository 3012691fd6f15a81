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

// Every buffer size puts the spill boundary somewhere else, inside characters
// too, and the section may start streaming before any piece or after any.
TEST(ReportSection, BytesAreTheSameWhereverTheBufferSpillsOrStreamingStarts) {
    const std::vector<std::wstring> writes = pieces();
    for (const std::size_t bufferSize : {1u, 2u, 3u, 5u, 8u, 1u << 20}) {
        for (std::size_t streamFrom = 0; streamFrom <= writes.size(); ++streamFrom) {
            FakeFileSystem files;
            StringOutput report;
            {
                FakeFolder folder(files, L"d\\");
                ReportSection section(folder, bufferSize);
                EXPECT_TRUE(section.empty());
                for (std::size_t i = 0; i < writes.size(); ++i) {
                    if (i == streamFrom) section.streamTo(report, L"<o>\n");
                    section << writes[i];
                }
                if (streamFrom == writes.size()) {
                    EXPECT_EQ(files.own.size(), bufferSize < expectedBytes.size() ? 1u : 0u) << "spill file";
                    section.streamTo(report, L"<o>\n");
                }
                EXPECT_FALSE(section.empty());
                EXPECT_EQ(section.endStream(L"</o>\n"), 0u);
                EXPECT_TRUE(files.files.empty()) << "spill file beside the finished report";
            }
            EXPECT_EQ(report.bytes, "<o>\r\n" + expectedBytes + "</o>\r\n") << bufferSize << " " << streamFrom;
        }
    }
}

TEST(ReportSection, ALoneSurrogateBecomesTheReplacementCharacter) {
    FakeFileSystem files;
    FakeFolder folder(files, L"");
                ReportSection section(folder, 4);
    section << std::wstring(1, static_cast<wchar_t>(0xDC00)) << L"\n" << std::wstring(1, static_cast<wchar_t>(0xD800));
    StringOutput report;
    section.streamTo(report, L"");
    EXPECT_EQ(section.endStream(L""), 0u);
    EXPECT_EQ(report.bytes, "\xEF\xBF\xBD\r\n\xEF\xBF\xBD");
}

// A failed request takes back what it wrote, also what had gone to the spill
// file or into the report; with nothing left, the opening goes too.
TEST(ReportSection, TruncationTakesBackTextWhereverItWent) {
    for (const bool streaming : {false, true}) {
        for (const std::size_t bufferSize : {2u, 64u}) {
            FakeFileSystem files;
            StringOutput report;
            report.bytes = "head";
            FakeFolder folder(files, L"");
                ReportSection section(folder, bufferSize);
            if (streaming) section.streamTo(report, L"<o>");
            section << L"gone";
            section.truncate(0);
            EXPECT_TRUE(section.empty());
            EXPECT_EQ(report.bytes, "head");
            section << L"kept\n";
            const std::uint64_t mark = section.tell();
            section << L"half-written <element";
            section.truncate(mark);
            section << L"next\n";
            if (!streaming) section.streamTo(report, L"<o>");
            EXPECT_EQ(section.endStream(L"</o>"), 0u);
            EXPECT_EQ(report.bytes, "head<o>kept\r\nnext\r\n</o>") << streaming << bufferSize;
        }
    }
}

// A spill that fails, and a report that cannot take the bytes, are failures, never a short section.
TEST(ReportSection, WriteFailuresAreAnswered) {
    FakeFileSystem files;
    files.diskSpace = 3;
    StringOutput report;
    {
        FakeFolder folder(files, L"");
                ReportSection section(folder, 2);
        section << L"abcdef";
        section.streamTo(report, L"");
        EXPECT_EQ(section.endStream(L""), platform::error::diskFull);
    }
    EXPECT_TRUE(files.files.empty());

    FakeFolder folder(files, L"");
                ReportSection section(folder, 1 << 20);
    section << L"abcdef";
    report.limit = 4;
    section.streamTo(report, L"");
    EXPECT_EQ(section.endStream(L""), platform::error::diskFull);
}
