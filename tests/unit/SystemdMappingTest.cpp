#include "platform/linux/SystemdMapping.h"

#include <gtest/gtest.h>

namespace {

using platform::linux_layer::UnitFacts;

// systemd's unit facts in the report's Win32 terms: state, start type, account.
TEST(SystemdMapping, UnitsReadAsALinuxAdministratorReadsThem) {
    struct Case {
        const char* what;
        UnitFacts unit;
        std::uint32_t state;
        std::uint32_t startType;
        const wchar_t* account;
    };
    const std::uint32_t failed = platform::serviceStoppedFailed;
    const Case cases[] = {
        {"running, enabled", {"", "loaded", "active", "running", "enabled", "", false}, 4, 2, L"root"},
        {"failed", {"", "loaded", "failed", "failed", "static", "", false}, failed, 3, L"root"},
        {"crash loop", {"", "loaded", "activating", "auto-restart", "disabled", "", false}, failed, 4, L"root"},
        {"starting", {"", "loaded", "activating", "start", "enabled-runtime", "", false}, 2, 2, L"root"},
        {"broken setting", {"", "bad-setting", "inactive", "dead", "static", "", false}, failed, 3, L"root"},
        {"load error", {"", "error", "inactive", "dead", "", "", false}, failed, 3, L"root"},
        {"masked", {"", "masked", "inactive", "dead", "masked", "", false}, 1, 4, L"root"},
        {"generated, pulled in", {"", "loaded", "active", "running", "generated", "", true}, 4, 2, L"root"},
        {"generated alone", {"", "loaded", "inactive", "dead", "generated", "", false}, 1, 3, L"root"},
        {"static, wanted", {"", "loaded", "inactive", "dead", "static", "", true}, 1, 3, L"root"},
        {"own user", {"", "loaded", "reloading", "reload", "indirect", "www-data", false}, 4, 3, L"www-data"},
        {"unknown state", {"", "loaded", "frobbing", "", "", "", false}, 0, 3, L"root"},
    };
    for (const Case& c : cases) {
        const platform::ServiceStatus status = platform::linux_layer::serviceStatusOf(c.unit);
        EXPECT_EQ(status.type, 16u) << c.what;
        EXPECT_EQ(status.state, c.state) << c.what;
        EXPECT_EQ(platform::linux_layer::startTypeOf(c.unit), c.startType) << c.what;
        EXPECT_EQ(platform::linux_layer::accountOf(c.unit), c.account) << c.what;
    }
}

}  // namespace
