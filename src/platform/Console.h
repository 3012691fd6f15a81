#pragma once
#include <string>

namespace platform {

class Console {
public:
    virtual ~Console() = default;

    // Wide standard output, flushed after each call.
    virtual void write(const std::wstring& text) = 0;
    // The narrow standard streams, used by the packaging step's failure lines.
    virtual void writeNarrowError(const std::string& text) = 0;
    virtual void writeNarrowOutput(const std::string& text) = 0;
    // Blocks until one character arrives or the input ends.
    virtual void readCharacter() = 0;
    // Whether standard error is a terminal (on Windows a console) that someone watches.
    virtual bool errorIsTerminal() const = 0;
    // Wide standard error, flushed after each call.
    virtual void writeError(const std::wstring& text) = 0;
};

}  // namespace platform
