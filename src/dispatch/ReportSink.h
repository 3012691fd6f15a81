#pragma once
#include <string>
#include <string_view>

// Where a collector writes its finished elements: one report section, or any
// other text. Producers never know where the bytes end up.
class ReportSink {
public:
    virtual ~ReportSink() = default;

    virtual void write(std::wstring_view text) = 0;

    ReportSink& operator<<(std::wstring_view text) {
        write(text);
        return *this;
    }
};

// Keeps what it receives as one text: for small outputs and for tests.
class TextSink : public ReportSink {
public:
    void write(std::wstring_view text) override { text_ += text; }
    const std::wstring& text() const { return text_; }
    std::wstring take() { return std::move(text_); }

private:
    std::wstring text_;
};
