#include "platform/Native.h"
#include "text/Utf8.h"

#include <windows.h>

#include <ctime>
#include <memory>

// The C runtime's own splitting of the wide command line (msvcrt exports it; no header declares it).
struct StartupInfo {
    int newMode;
};
extern "C" void __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment, int expandWildcards,
                              StartupInfo* startup);

namespace platform {
namespace {

class Win32Host final : public Host {
public:
    // The wide command line, so that any path the operator can type arrives intact, split
    // by the C runtime (without wildcards) rather than by the shell's library, which
    // would draw in the window system at the start.
    std::vector<std::string> commandLine(int, char**) const override {
        int count = 0;
        wchar_t** arguments = nullptr;
        wchar_t** environment = nullptr;
        StartupInfo startup{};
        std::vector<std::string> result;
        __wgetmainargs(&count, &arguments, &environment, 0, &startup);
        for (int i = 0; arguments && i < count; ++i) result.push_back(text::wideToUtf8(arguments[i]));
        return result;
    }

    std::wstring executablePath() const override {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return L"";
            if (length < buffer.size()) return buffer.substr(0, length);
            buffer.resize(buffer.size() * 2);
        }
    }

    std::optional<std::wstring> computerName() const override {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        if (!GetComputerNameW(name, &size)) return std::nullopt;
        return std::wstring(name, size);
    }

    std::optional<std::int64_t> now() const override {
        const __time64_t seconds = _time64(nullptr);
        if (seconds == -1) return std::nullopt;
        return static_cast<std::int64_t>(seconds);
    }

    std::optional<LocalTime> localTime(std::int64_t secondsSince1970) const override {
        const __time64_t seconds = secondsSince1970;
        std::tm fields{};
        if (_localtime64_s(&fields, &seconds) != 0) return std::nullopt;
        return LocalTime{fields.tm_year, fields.tm_mon, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec};
    }

    std::optional<Account> runningUser() const override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
        std::optional<Account> account;
        DWORD size = 0;
        if (!GetTokenInformation(token, TokenUser, nullptr, 0, &size) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            auto buffer = std::make_unique<unsigned char[]>(size);
            if (GetTokenInformation(token, TokenUser, buffer.get(), size, &size)) {
                const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.get());
                wchar_t name[256] = {};
                wchar_t domain[256] = {};
                DWORD nameSize = 256;
                DWORD domainSize = 256;
                SID_NAME_USE use{};
                if (LookupAccountSidW(nullptr, user->User.Sid, name, &nameSize, domain, &domainSize, &use)) {
                    account = Account{domain, name};
                }
            }
        }
        CloseHandle(token);
        return account;
    }

    std::wstring errorMessage(ErrorCode code) const override {
        wchar_t buffer[1024] = {};
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, 1024,
                           nullptr);
        return std::wstring(buffer, length);
    }
};

}  // namespace

Host& nativeHost() {
    static Win32Host host;
    return host;
}

}  // namespace platform
