#pragma once
#include "dispatch/Progress.h"
#include "platform/Console.h"

#include <string>

// Progress on one line of standard error, rewritten in place after the run's
// "Bitte warten..." and taken away again before "beendet!". Backspaces, not
// carriage returns, move back, so the text on standard output before it stays.
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(platform::Console& console) : console_(console) {}

    void request(std::size_t number, std::size_t total, const std::wstring& function,
                 const std::wstring& value) override;
    void waiting(int secondsLeft) override;
    void finished() override { show(L""); }

    // What fits after the run's 39 characters on a line of 80 columns.
    static constexpr std::size_t width = 40;

private:
    void show(const std::wstring& text);

    platform::Console& console_;
    std::wstring label_;
    std::size_t shown_ = 0;
};
