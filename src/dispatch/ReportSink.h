#pragma once
#include "text/TextFile.h"

#include <cstdint>
#include <string>
#include <string_view>

// Where a collector writes its finished elements: one report section, or any
// other text. Producers never know where the bytes end up.
class ReportSink {
public:
    virtual ~ReportSink() = default;

    virtual void write(std::wstring_view text) = 0;
    // A point in what the sink holds, and the return to it: a failed request
    // takes back its half-written elements. Collectors never need these.
    virtual std::uint64_t tell() const = 0;
    virtual void truncate(std::uint64_t position) = 0;

    // A piece of a text file, and its end, as the decoder reads them. A sink
    // that holds the report's bytes takes them without widening.
    virtual void writeTextFile(TextFileDecoder& decoder, std::string_view bytes) {
        std::wstring text;
        decoder.decode(bytes, text);
        write(text);
    }
    virtual void endTextFile(TextFileDecoder& decoder) {
        std::wstring text;
        decoder.finish(text);
        write(text);
    }

    ReportSink& operator<<(std::wstring_view text) {
        write(text);
        return *this;
    }
};

// Keeps what it receives as one text: for small outputs and for tests.
class TextSink : public ReportSink {
public:
    void write(std::wstring_view text) override { text_ += text; }
    std::uint64_t tell() const override { return text_.size(); }
    void truncate(std::uint64_t position) override { text_.resize(static_cast<std::size_t>(position)); }
    const std::wstring& text() const { return text_; }
    std::wstring take() { return std::move(text_); }

private:
    std::wstring text_;
};
