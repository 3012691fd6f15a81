#include "collect/system/SystemCollector.h"
#include "collect/system/SystemFormat.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSystemPlatform.h"
#include "platform/linux/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace {

using platform::LocalAccount;
using platform::PredefinedKey;
using platform::ProcessorTimes;
namespace privilege = platform::privilege;

constexpr std::uint64_t gibibyte = 1ull << 30;
const std::wstring currentVersion = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::wstring processorZero = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// Samples whose every interval has the given busy and idle time.
std::vector<std::optional<ProcessorTimes>> steadyLoad(std::uint64_t busy, std::uint64_t idle) {
    std::vector<std::optional<ProcessorTimes>> samples;
    for (std::uint64_t k = 1; k <= 10; ++k)
        samples.push_back(ProcessorTimes{k * idle, k * (idle + busy / 2), k * (busy - busy / 2)});
    return samples;
}

class SystemCollectorTest : public ::testing::Test {
protected:
    SystemCollectorTest() {
        volumes.volumes = {{L"\\\\?\\Volume{c}\\", L"\\Device\\HarddiskVolume2", {L"C:\\"}}};
        volumes.spaces[L"C:\\"] = {123456 * gibibyte / 1000, 500 * gibibyte};
        machine.memory = platform::MemoryStatus{37, 17163091968, 8 * gibibyte};
        machine.samples = steadyLoad(75, 925);
        accounts.batches = {{0, {{L"Administrator", privilege::administrator}}}};
        registry.setValue(PredefinedKey::localMachine, currentVersion,
                          platform::MemoryRegistry::stringValue(L"ProductName", L"Windows 10 Pro"));
        registry.setValue(PredefinedKey::localMachine, processorZero,
                          platform::MemoryRegistry::stringValue(L"ProcessorNameString", L"Intel(R) Core: i7"));
    }

    std::wstring collect(const std::wstring& item) {
        TextSink out;
        out << L"before\n";
        collector.collect(item, out);
        return out.text().substr(7);
    }
    template <typename Operation>
    std::wstring run(Operation operation) {
        TextSink out;
        (collector.*operation)(out);
        return out.text();
    }
    std::wstring groups(const std::wstring& account) {
        TextSink out;
        collector.userGroups(account, out);
        return out.text();
    }

    FakeVolumes volumes;
    FakeMachineState machine;
    FakeAccounts accounts;
    platform::MemoryRegistry registry;
    FakeHost host;
    CpuSample lastSample;
    std::vector<std::uint32_t> pausesLeft;
    SystemCollector collector{{volumes, machine, accounts, registry, host},
                              lastSample,
                              [this](std::uint32_t milliseconds, std::uint32_t left) {
                                  EXPECT_EQ(milliseconds, 1000u);
                                  pausesLeft.push_back(left);
                              }};
};

}  // namespace

TEST_F(SystemCollectorTest, SelectsTheItemByItsWholeNameInAnyCase) {
    const std::wstring disk = L"<disk>C:\\|123.46|500.00</disk>\n";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"disk", disk},
        {L"Disk", disk},
        {L"DISK", disk},
        {L" DISK", L""},
        {L"DISKS", L""},
        {L"", L""},
        {L"memory", L"<ram>37|15.98|8.00</ram>\n"},
        {L"user", L"<localuser name=\"Administrator\">administrator</localuser>\n"},
        {L"ALL\n", L""},
        {L"d\u0130sk", L""},
    };
    for (const auto& [item, expected] : cases) EXPECT_EQ(collect(item), expected) << item;
}

TEST_F(SystemCollectorTest, AllListsDisksMemoryOsProcessorAndUsersInThatOrder) {
    EXPECT_EQ(collect(L"All"),
              L"<disk>C:\\|123.46|500.00</disk>\n"
              L"<ram>37|15.98|8.00</ram>\n"
              L"<os>Windows 10 Pro\n|x64|de-DE</os>\n"
              L"<cpu>Intel(R) Core: i7\n|4|7.5%\n</cpu>\n"
              L"<localuser name=\"Administrator\">administrator</localuser>\n");
}

TEST_F(SystemCollectorTest, DisksListEveryMountPathOfTheHardDiskVolumesUpToTheDriveCount) {
    volumes.volumes = {
        {L"\\\\?\\Volume{e}\\", L"\\Device\\HarddiskVolume3", {L"E:\\", L"C:\\Mount\\E\\", L"F:\\"}},
        {L"\\\\?\\Volume{d}\\", L"\\Device\\CdRom0", {L"D:\\"}},
        {L"Volume{x}\\", L"\\Device\\HarddiskVolume4", {L"X:\\"}},
        {L"\\\\?\\Volume{y}", L"\\Device\\HarddiskVolume5", {L"Y:\\"}},
        {L"\\\\?\\Volume{n}\\", L"", {L"N:\\"}},
        {L"\\\\?\\Volume{s}\\", L"\\Device\\HarddiskVolume1", {}},
        {L"\\\\?\\Volume{t}\\", L"\\Device\\HarddiskVolume6", {L"T:\\"}},
        {L"\\\\?\\Volume{u}\\", L"\\Device\\HarddiskVolume7", {L"U:\\"}},
    };
    volumes.spaces = {{L"E:\\", {1500000, 1ull << 40}},
                      {L"C:\\Mount\\E\\", {0, 0}},
                      {L"T:\\", {1ull << 52, 1ull << 52}},
                      {L"U:\\", {1, 1}}};
    volumes.limit = 7;
    EXPECT_EQ(collect(L"DISK"),
              L"<disk>E:\\|0.00|1024.00</disk>\n"
              L"<disk>C:\\Mount\\E\\|0.00|0.00</disk>\n"
              L"<disk>F:\\|5</disk>\n"
              L"<disk>T:\\|0.00|0.00</disk>\n");
    EXPECT_EQ(volumes.ended, 1);
}

TEST_F(SystemCollectorTest, DiskEnumerationFailuresGiveTheirCodeAlone) {
    volumes.limitFailure = 21;
    EXPECT_EQ(collect(L"DISK"), L"<disk>21</disk>\n");
    volumes.limitFailure = 0;
    volumes.firstFailure = 18;
    EXPECT_EQ(collect(L"DISK"), L"<disk>18</disk>\n");
    EXPECT_EQ(volumes.ended, 0);
}

TEST_F(SystemCollectorTest, MemoryIsLeftOutWhenItsStatusCannotBeRead) {
    machine.memory.reset();
    EXPECT_EQ(collect(L"MEMORY"), L"");
}

TEST_F(SystemCollectorTest, OsCarriesProductBitnessAndLocaleOrTheirFallbacks) {
    machine.sixtyFourBit = false;
    machine.locale.reset();
    EXPECT_EQ(collect(L"OS"), L"<os>Windows 10 Pro\n|x86|unknown</os>\n");
    platform::MemoryRegistry empty;
    TextSink out;
    SystemCollector({volumes, machine, accounts, empty, host}, lastSample, [](std::uint32_t, std::uint32_t) {
    }).operatingSystem(out);
    EXPECT_EQ(out.text(),
              L"<os>[HKEY_LOCAL_MACHINE\\" + currentVersion + L"\\ProductName]\nmessage 2\r\n\n|x86|unknown</os>\n");
}

TEST_F(SystemCollectorTest, LoadIsThatOfTheLastOfTenIntervalsWrittenWithTwoSignificantDigits) {
    const std::tuple<std::uint64_t, std::uint64_t, const wchar_t*> cases[] = {
        {75, 925, L"7.5%\n"}, {126, 874, L"13%\n"}, {0, 1000, L"0%\n"}, {1000, 0, L"1e+02%\n"}, {0, 0, L"0%\n"},
    };
    for (const auto& [busy, idle, expected] : cases) {
        lastSample = {};
        machine.samples = steadyLoad(busy, idle);
        machine.samplesTaken = 0;
        pausesLeft.clear();
        EXPECT_EQ(collector.cpuLoad(), expected) << busy << "/" << idle;
        EXPECT_EQ(pausesLeft, (std::vector<std::uint32_t>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    }
}

TEST_F(SystemCollectorTest, LoadSamplesContinueFromTheLastSuccessfulOneAcrossRequestsAndFailures) {
    lastSample = {900, 100};
    machine.samples = {ProcessorTimes{1000, 1100, 100},
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt};
    EXPECT_EQ(collector.cpuLoad(), [] {
        std::wstring text;
        for (int i = 0; i < 9; ++i) text += L"Error by getting System Times:\nmessage 5\r\n\n";
        return text + L"50%\n";
    }());
    EXPECT_EQ(lastSample.idle, 1000u);
    EXPECT_EQ(lastSample.busy, 200u);
    machine.samples.assign(10, std::nullopt);
    machine.samplesTaken = 0;
    std::wstring tenFailures;
    for (int i = 0; i < 10; ++i) tenFailures += L"Error by getting System Times:\nmessage 5\r\n\n";
    EXPECT_EQ(collector.cpuLoad(), tenFailures + L"0%\n");
}

TEST_F(SystemCollectorTest, FiguresLeaveOutAnUnknownHandleCountAndNameAFailedProcessCount) {
    const std::tuple<std::optional<std::uint32_t>, std::optional<std::uint32_t>, std::uint64_t, const wchar_t*>
        cases[] = {
            {30215, 112, 86400000, L"handle=\"30215\" uptime=\"86400000\" processes=\"112\""},
            {std::nullopt, 2000, 4294967301ull, L"uptime=\"4294967301\" processes=\"2000\""},
            {0, std::nullopt, 0, L"handle=\"0\" uptime=\"0\" processes=\"couldn't receive number of processes\""},
        };
    for (const auto& [handles, processes, uptime, expected] : cases) {
        machine.handles = handles;
        machine.processes = processes;
        machine.uptime = uptime;
        EXPECT_EQ(collector.systemFigures(), expected);
    }
}

TEST_F(SystemCollectorTest, LocalUsersFollowEveryBatchAndStopAtAFailure) {
    accounts.batches = {{234, {{L"Administrator", privilege::administrator}, {L"Gast", privilege::guest}}},
                        {0, {{L"svc", privilege::user}, {L"odd", 3}}}};
    EXPECT_EQ(collect(L"USER"),
              L"<localuser name=\"Administrator\">administrator</localuser>\n"
              L"<localuser name=\"Gast\">guest</localuser>\n"
              L"<localuser name=\"svc\">user</localuser>\n"
              L"<localuser name=\"odd\">unknown</localuser>\n");
    accounts.batches = {{234, {{L"a", privilege::user}}}, {5, {{L"ignored", privilege::user}}}};
    EXPECT_EQ(collect(L"USER"), L"<localuser name=\"a\">user</localuser>\n<localuser>Access Denied</localuser>\n");
}

TEST_F(SystemCollectorTest, UserGroupsListGlobalThenLocalGroupsOfTheNamedAccount) {
    accounts.controllers = {{L"CORP", L"\\\\DC01"}, {L"", L"\\\\LOCAL"}, {L"A", L"\\\\A"}};
    accounts.global = {L"Domain Users", L"Backup"};
    accounts.local = {L"Users", L"Remote Desktop Users", L"Administrators"};
    EXPECT_EQ(groups(L"CORP\\backup"),
              L"<user name=\"CORP\\backup\">Domain Users|Backup|Users|Remote Desktop Users|Administrators|</user>\n");
    EXPECT_EQ(accounts.asked, (std::vector<std::wstring>{L"controller of CORP", L"global groups of backup at \\\\DC01",
                                                         L"local groups of backup at \\\\DC01"}));
    accounts.asked.clear();
    accounts.globalStatus = 124;
    EXPECT_EQ(groups(L"A\\B\\C"), L"<user name=\"A\\B\\C\">Users|Remote Desktop Users|Administrators|</user>\n");
    EXPECT_EQ(accounts.asked.back(), L"local groups of B\\C at \\\\A");
    accounts.localStatus = 2221;
    EXPECT_EQ(groups(L"nobackslash"), L"<user name=\"nobackslash\"></user>\n");
    EXPECT_EQ(accounts.asked.back(), L"local groups of  at \\\\LOCAL");
    EXPECT_EQ(groups(L"WORKGROUP\\x<\"&"), L"<user name=\"WORKGROUP\\x<\"&\"></user>\n");
}

TEST(SystemFormat, NetworkStatusTextsAndPrivilegeWords) {
    using system_format::netApiErrorText;
    EXPECT_EQ(netApiErrorText(2221), L"The user could not be found");
    EXPECT_EQ(netApiErrorText(234), L"Buffer to small");
    EXPECT_EQ(netApiErrorText(2453), L"Could not find the domain controller for the domain");
    EXPECT_EQ(netApiErrorText(1326), L"A System Error Occured. Error Corde: 1326");
    EXPECT_EQ(netApiErrorText(0), L"A System Error Occured. Error Corde: 0");
    EXPECT_EQ(system_format::privilegeWord(2), L"administrator");
    EXPECT_EQ(system_format::privilegeWord(4294967295u), L"unknown");
    EXPECT_EQ(system_format::formatFixed(0.125, 2), L"0.12");
    EXPECT_EQ(system_format::formatFixed(1234567.891, 2), L"1234567.89");
}
