#pragma once
#include <cstddef>
#include <string>

// Hears how far a run has come, for an operator watching it.
class Progress {
public:
    virtual ~Progress() = default;

    // Request `number` (from 1) of `total` served requests is about to be collected.
    virtual void request(std::size_t number, std::size_t total, const std::wstring& function,
                         const std::wstring& value) = 0;
    // The current request waits, e.g. while the processor load is sampled.
    virtual void waiting(int secondsLeft) = 0;
    // Every request is served; whatever was shown is taken away.
    virtual void finished() = 0;
};
