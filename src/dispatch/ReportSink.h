#pragma once
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
