#include "driver/TextFile.h"

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

TEST(TextFile, UnreadableFileGivesNothing) {
    FakeFileSystem files;
    files.files.emplace(L"c.xml", "x");
    EXPECT_EQ(readTextFile(files, L"c.xml"), std::optional<std::wstring>(L"x\n"));
    EXPECT_FALSE(readTextFile(files, L"missing.xml"));
}
