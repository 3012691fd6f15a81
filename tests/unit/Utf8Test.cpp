#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

TEST(Utf8, EveryCharacterSurvivesTheRoundTrip) {
    const std::string bytes = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a ä € 😀 z
    const std::wstring wide = text::utf8ToWide(bytes);
    EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 6u : 5u);
    EXPECT_EQ(text::wideToUtf8(wide), bytes);
}

TEST(Utf8, CharactersBeyondThePlaneAreOneFourByteSequence) {
    std::wstring smiley;
    if constexpr (sizeof(wchar_t) == 2) {
        smiley = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        smiley = {static_cast<wchar_t>(0x1F600)};
    }
    EXPECT_EQ(text::wideToUtf8(smiley), "\xF0\x9F\x98\x80");
}

TEST(Utf8, UndecodableBytesRaiseBadConversion) {
    for (const std::string bad : {"\xE4", "\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"}) {
        try {
            text::utf8ToWide(bad);
            ADD_FAILURE() << "accepted " << bad.size() << " bytes";
        } catch (const std::range_error& error) {
            EXPECT_STREQ(error.what(), "bad conversion");
        }
    }
}

TEST(Utf8, UnpairedSurrogatesAreWrittenAsReplacementCharacters) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(text::wideToUtf8(lone + L"x"), "\xEF\xBF\xBDx");
}

// ASCII is copied in runs, sought in blocks: whatever stands in a long text, and where, keeps its encoding.
TEST(Utf8, EveryCharacterOfALongTextKeepsItsEncodingWhereverItStands) {
    const std::pair<wchar_t, std::string> cases[] = {{L'\n', "\r\n"},
                                                     {static_cast<wchar_t>(0xE4), "\xC3\xA4"},
                                                     {static_cast<wchar_t>(0x80), "\xC2\x80"},
                                                     {L'\x7F', "\x7F"}};
    for (const auto& [character, encoded] : cases) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::wstring text(20, L'a');
            text[at] = character;
            std::string out;
            text::Utf8Encoder(text::Utf8Encoder::LineEnds::crlf).encode(text, out);
            EXPECT_EQ(out, std::string(at, 'a') + encoded + std::string(19 - at, 'a')) << at;
        }
    }
}
