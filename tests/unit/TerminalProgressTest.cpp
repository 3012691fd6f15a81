#include "dispatch/TerminalProgress.h"

#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

// What a terminal line shows after the text was written to it, and where the cursor stands.
struct Screen {
    std::wstring line;
    std::size_t cursor = 0;

    void write(const std::wstring& text) {
        for (const wchar_t c : text) {
            if (c == L'\b') {
                ASSERT_GT(cursor, 0u) << "moved back before where the progress began";
                --cursor;
                continue;
            }
            ASSERT_GE(c, 0x20) << "control character on the line";
            if (cursor == line.size()) line += c; else line[cursor] = c;
            ++cursor;
        }
    }
};

}  // namespace

TEST(TerminalProgress, RewritesOneLineInPlaceAndLeavesItEmpty) {
    FakeConsole console;
    TerminalProgress progress(console);
    Screen screen;
    const auto shown = [&] {
        screen.write(console.errorOutput);
        console.errorOutput.clear();
        std::wstring visible = screen.line.substr(0, screen.cursor);
        EXPECT_EQ(screen.line.find_last_not_of(L' ') + 1, visible.find_last_not_of(L' ') + 1)
            << "text left behind the cursor";
        return visible;
    };

    progress.request(1, 12, L"getKey", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Settings");
    EXPECT_EQ(shown(), L" 1/12 getKey ...\\Vendor\\Product\\Settings");
    EXPECT_EQ(screen.cursor, TerminalProgress::width);
    progress.request(2, 12, L"getSystem", L"cpu\n\t");
    EXPECT_EQ(shown(), L" 2/12 getSystem cpu  ");
    progress.waiting(7);
    EXPECT_EQ(shown(), L" 2/12 getSystem cpu   noch 7 s");
    progress.request(12, 12, L"getFile", std::wstring(100, L'x'));
    progress.waiting(10);
    EXPECT_EQ(shown().substr(TerminalProgress::width - 10), L" noch 10 s");
    progress.finished();
    EXPECT_EQ(shown(), L"");
    EXPECT_EQ(screen.line.find_first_not_of(L' '), std::wstring::npos);
}
