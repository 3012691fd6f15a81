#include "dispatch/TerminalProgress.h"

void TerminalProgress::request(std::size_t number, std::size_t total, const std::wstring& function,
                               const std::wstring& value) {
    label_ = L" " + std::to_wstring(number) + L"/" + std::to_wstring(total) + L" " + function + L" ";
    // The end of a long path or key names what is being read; its start is mostly the same.
    const std::size_t room = width > label_.size() + 3 ? width - label_.size() - 3 : 0;
    label_ += value.size() <= room + 3 ? value : L"..." + value.substr(value.size() - room);
    show(label_);
}

void TerminalProgress::waiting(int secondsLeft) {
    const std::wstring left = L" noch " + std::to_wstring(secondsLeft) + L" s";
    // The seconds stay in sight however long the value is.
    show(label_.substr(0, width > left.size() ? width - left.size() : 0) + left);
}

void TerminalProgress::show(const std::wstring& text) {
    std::wstring line = text.substr(0, width);
    // A line break or tab in a value would break the line apart.
    for (wchar_t& c : line) {
        if (c < 0x20 || c == 0x7F) c = L' ';
    }
    std::wstring out(shown_, L'\b');
    out += line;
    if (line.size() < shown_) {
        const std::size_t rest = shown_ - line.size();
        out += std::wstring(rest, L' ') + std::wstring(rest, L'\b');
    }
    shown_ = line.size();
    if (!out.empty()) console_.writeError(out);
}
