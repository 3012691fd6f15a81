#include "platform/Native.h"
#include "text/Utf8.h"

#include <cstdio>
#include <unistd.h>

namespace platform {
namespace {

class LinuxConsole final : public Console {
public:
    void write(const std::wstring& text) override { writeNarrowOutput(text::wideToUtf8(text)); }

    void writeNarrowError(const std::string& text) override {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }

    void writeNarrowOutput(const std::string& text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    void readCharacter() override { std::getchar(); }

    bool errorIsTerminal() const override { return isatty(STDERR_FILENO) == 1; }

    void writeError(const std::wstring& text) override { writeNarrowError(text::wideToUtf8(text)); }
};

}  // namespace

Console& nativeConsole() {
    static LinuxConsole console;
    return console;
}

}  // namespace platform
