#include "dispatch/CommandTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(CommandTable, NamesAreFoundOnlyAsWrittenAtTheirCodes) {
    const CommandTable table;
    EXPECT_EQ(table.lookup(L"config"), 0);
    EXPECT_EQ(table.lookup(L"getDirectoriesAndFilesRecursively"), 13);
    EXPECT_EQ(table.lookup(L"getUser"), 16);
    EXPECT_EQ(table.lookup(L"getFilesRecursively"), 18);
    for (const wchar_t* name : {L"registry", L"REGISTRY", L"Registry ", L"", L"getfile"}) {
        EXPECT_EQ(table.lookup(name), CommandTable::notFound) << name;
    }
    for (int code = 0; code < CommandTable::size; ++code) EXPECT_EQ(table.lookup(table.name(code)), code);
}

TEST(CommandTable, FunctionsBelongToTheirCategoriesOnly) {
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getUser), CommandTable::system);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getFiles), CommandTable::directory);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getDirectoriesAndFilesRecursively), CommandTable::directory);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::config), CommandTable::notFound);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::registry), CommandTable::notFound);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::notFound), CommandTable::notFound);
    EXPECT_TRUE(CommandTable().isGroupingName(L"Service"));
    EXPECT_FALSE(CommandTable().isGroupingName(L"getKey"));
}

TEST(Utf8, EveryCharacterSurvivesTheRoundTrip) {
    const std::string bytes = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a ä € 😀 z
    const std::wstring wide = CommandTable::utf8ToWide(bytes);
    EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 6u : 5u);
    EXPECT_EQ(CommandTable::wideToUtf8(wide), bytes);
}

TEST(Utf8, CharactersBeyondThePlaneAreOneFourByteSequence) {
    std::wstring smiley;
    if constexpr (sizeof(wchar_t) == 2) {
        smiley = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        smiley = {static_cast<wchar_t>(0x1F600)};
    }
    EXPECT_EQ(CommandTable::wideToUtf8(smiley), "\xF0\x9F\x98\x80");
}

TEST(Utf8, UndecodableBytesRaiseBadConversion) {
    for (const std::string bad : {"\xE4", "\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"}) {
        try {
            CommandTable::utf8ToWide(bad);
            ADD_FAILURE() << "accepted " << bad.size() << " bytes";
        } catch (const std::range_error& error) {
            EXPECT_STREQ(error.what(), "bad conversion");
        }
    }
}

TEST(Utf8, UnpairedSurrogatesAreWrittenAsReplacementCharacters) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(CommandTable::wideToUtf8(lone + L"x"), "\xEF\xBF\xBDx");
}
