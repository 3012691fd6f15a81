#include "text/TextFile.h"
#include "text/Utf8.h"

#include "driver/ConfigurationFile.h"

#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

TEST(TextFile, BytesAreLatin1LinesEndInLineFeeds) {
    EXPECT_EQ(decodeTextFile(""), L"\n");
    EXPECT_EQ(decodeTextFile("abc"), L"abc\n");
    EXPECT_EQ(decodeTextFile("abc\n"), L"abc\n\n");
    EXPECT_EQ(decodeTextFile("a\r\nb\r\n"), L"a\nb\n\n");
    EXPECT_EQ(decodeTextFile("a\rb\r"), L"a\rb\r\n");
    EXPECT_EQ(decodeTextFile("\xC3\xA4\xFF"), std::wstring(L"\u00C3\u00A4\u00FF\n"));
}

TEST(TextFile, EndOfFileMarkEndsTheText) {
    EXPECT_EQ(decodeTextFile("ab\x1A" "cd\nef"), L"ab\n");
    EXPECT_EQ(decodeTextFile(std::string("a\0b", 3)), std::wstring(L"a\0b\n", 4));
}

// Read in pieces, the text is the same wherever a piece ends, between CR and LF too.
TEST(TextFile, PiecesDecodeLikeTheWholeFile) {
    for (const std::string bytes :
         {"a\r\nb\r\r\nc\r", "x\r\x1A\r\ny", "\r\n\r\n", "\xE4\n\xFF\r", "a\n\nb\xE4" "c\r\r\n",
          // Lines longer than the blocks plain ASCII is sought in.
          "0123456789abcdef0123456789abcdef0\n0123456789abcdef0123456789abcde\r\n0123456789abcdef0123456789abcdef"
          "0123456789abcdef0123456789abcdef\xE4" "0123456789abcdef0123456789abcdef\r\r\n"}) {
        for (std::size_t split = 0; split <= bytes.size(); ++split) {
            std::wstring text;
            TextFileDecoder decoder;
            decoder.decode(std::string_view(bytes).substr(0, split), text);
            decoder.decode(std::string_view(bytes).substr(split), text);
            decoder.finish(text);
            EXPECT_EQ(text, decodeTextFile(bytes)) << split;
            // Straight to the report's bytes: the same as the decoded text encoded.
            std::string report;
            std::string expected;
            TextFileDecoder direct;
            direct.decodeToReport(std::string_view(bytes).substr(0, split), report);
            direct.decodeToReport(std::string_view(bytes).substr(split), report);
            direct.finishToReport(report);
            text::Utf8Encoder(text::Utf8Encoder::LineEnds::crlf).encode(text, expected);
            EXPECT_EQ(report, expected) << split;
        }
    }
    EXPECT_EQ(decodeTextFile("a\r\nb\r\r\nc\r"), L"a\nb\r\nc\r\n");
}

TEST(TextFile, UnreadableFileGivesNothing) {
    FakeFileSystem files;
    files.files.emplace(L"c.xml", "x");
    const auto text = readConfigurationFile(files, L"c.xml");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->bytes, "x\n");
    EXPECT_FALSE(readConfigurationFile(files, L"missing.xml"));
}

TEST(TextFile, ConfigurationsSayingSoAreUtf8) {
    const struct {
        const char* bytes;
        const wchar_t* text;
    } cases[] = {
        {"<getFile>caf\xC3\xA9</getFile>", L"<getFile>caf\u00C3\u00A9</getFile>\n"},
        {"\xEF\xBB\xBF<a>caf\xC3\xA9\r\n", L"<a>caf\u00E9\n\n"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xF0\x9F\x98\x80</a>", L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\U0001F600</a>\n"},
        {"<?xml version='1.0' encoding = 'utf-8' ?>\xC3\xA9", L"<?xml version='1.0' encoding = 'utf-8' ?>\u00E9\n"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\xC3\xA9", L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\u00C3\u00A9\n"},
        {"<?xml version=\"1.0\"?><a>encoding=\"UTF-8\"\xC3\xA9</a>", L"<?xml version=\"1.0\"?><a>encoding=\"UTF-8\"\u00C3\u00A9</a>\n"},
        {"a\r\nb\r\x1A" "c\r\n", L"a\nb\r\n"},
        // Declared UTF-8 but Latin-1 inside: read as before.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\xE4", L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\u00E4\n"},
    };
    for (const auto& sample : cases) {
        const ConfigurationText text = configurationText(sample.bytes);
        EXPECT_EQ(decodeText(text.bytes, text.encoding), sample.text) << sample.bytes;
    }
}
