#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct LocalTime {
    int yearsSince1900 = 0;
    int month = 0;  // 0 to 11
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct Account {
    std::wstring domain;
    std::wstring name;
};

// The running process and the machine it runs on.
class Host {
public:
    virtual ~Host() = default;

    // The arguments as UTF-8 bytes, the program's own path first.
    virtual std::vector<std::string> commandLine(int argc, char** argv) const = 0;
    virtual std::wstring executablePath() const = 0;
    // The name the machine has on the network; nothing when it cannot be read.
    virtual std::optional<std::wstring> computerName() const = 0;
    // Seconds since 1970-01-01 00:00 UTC; nothing when the clock cannot be read.
    virtual std::optional<std::int64_t> now() const = 0;
    virtual std::optional<LocalTime> localTime(std::int64_t secondsSince1970) const = 0;
    // Domain and account of the user running the process.
    virtual std::optional<Account> runningUser() const = 0;
    // The system's message text for an error code, with its closing line break;
    // empty when the system has none.
    virtual std::wstring errorMessage(ErrorCode code) const = 0;
};

}  // namespace platform
