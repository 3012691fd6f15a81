#include "platform/linux/ErrorMessages.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <climits>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace platform {
namespace {

class LinuxHost final : public Host {
public:
    std::vector<std::string> commandLine(int argc, char** argv) const override { return {argv, argv + argc}; }

    std::wstring executablePath() const override {
        std::string buffer(PATH_MAX, '\0');
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        return length > 0 ? linux_layer::fromNative(buffer.substr(0, static_cast<std::size_t>(length))) : L"";
    }

    std::optional<std::wstring> computerName() const override {
        char name[HOST_NAME_MAX + 1] = {};
        if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
        return linux_layer::fromNative(name);
    }

    std::optional<std::int64_t> now() const override {
        const std::time_t seconds = std::time(nullptr);
        if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
        return static_cast<std::int64_t>(seconds);
    }

    std::optional<LocalTime> localTime(std::int64_t secondsSince1970) const override {
        const auto seconds = static_cast<std::time_t>(secondsSince1970);
        std::tm fields{};
        if (!localtime_r(&seconds, &fields)) return std::nullopt;
        return LocalTime{fields.tm_year, fields.tm_mon, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec};
    }

    // A local account reads like a Windows one: the machine is its domain.
    std::optional<Account> runningUser() const override {
        const passwd* entry = getpwuid(geteuid());
        const auto machine = computerName();
        if (!entry || !machine) return std::nullopt;
        return Account{*machine, linux_layer::nameFromNative(entry->pw_name)};
    }

    std::wstring errorMessage(ErrorCode code) const override { return linux_layer::windowsMessage(code); }
};

}  // namespace

Host& nativeHost() {
    static LinuxHost host;
    return host;
}

}  // namespace platform
