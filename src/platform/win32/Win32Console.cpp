#include "platform/Native.h"
#include "platform/win32/WideText.h"
#include "text/Utf8.h"

#include <windows.h>

namespace platform {
namespace {

// A real console gets wide characters; a redirected stream gets UTF-8 with CR LF.
class Win32Console final : public Console {
public:
    void write(const std::wstring& text) override { writeWide(GetStdHandle(STD_OUTPUT_HANDLE), text); }

    void writeNarrowError(const std::string& text) override { writeBytes(GetStdHandle(STD_ERROR_HANDLE), text); }
    void writeNarrowOutput(const std::string& text) override { writeBytes(GetStdHandle(STD_OUTPUT_HANDLE), text); }

    bool errorIsTerminal() const override {
        DWORD mode = 0;
        return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    }

    void writeError(const std::wstring& text) override { writeWide(GetStdHandle(STD_ERROR_HANDLE), text); }

    void readCharacter() override {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        DWORD count = 0;
        if (GetConsoleMode(input, &mode)) {
            wchar_t character = 0;
            ReadConsoleW(input, &character, 1, &count, nullptr);
        } else {
            char byte = 0;
            ReadFile(input, &byte, 1, &count, nullptr);
        }
    }

private:
    static void writeWide(HANDLE stream, const std::wstring& text) {
        DWORD mode = 0;
        if (GetConsoleMode(stream, &mode)) {
            DWORD written = 0;
            WriteConsoleW(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        } else {
            writeBytes(stream, text::wideToUtf8(text));
        }
    }

    static void writeBytes(HANDLE stream, const std::string& text) {
        const std::string bytes = win32::textModeBytes(text);
        DWORD written = 0;
        WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        FlushFileBuffers(stream);
    }
};

}  // namespace

Console& nativeConsole() {
    static Win32Console console;
    return console;
}

}  // namespace platform
