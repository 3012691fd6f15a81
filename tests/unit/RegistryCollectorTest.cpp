#include "collect/registry/RegistryCollector.h"
#include "fakes/FakePlatform.h"
#include "platform/linux/MachineRegistry.h"
#include "platform/linux/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace {

using platform::ErrorCode;
using platform::MemoryRegistry;
using platform::PredefinedKey;
namespace error = platform::error;

// The in-memory registry with failures planted at chosen key paths, and a
// count of the keys left open.
class FaultyRegistry : public MemoryRegistry {
public:
    ErrorCode openKey(Key parent, const std::wstring& path, Key& opened) override {
        if (const auto failure = openFailures.find(path); failure != openFailures.end()) return failure->second;
        const ErrorCode result = MemoryRegistry::openKey(parent, path, opened);
        if (result == error::success) {
            ++openKeys;
            pathOf[opened] = path;
        }
        return result;
    }
    ErrorCode countEntries(Key key, platform::RegistryKeyCounts& counts) override {
        if (countFailures.count(pathOf[key])) return error::accessDenied;
        return MemoryRegistry::countEntries(key, counts);
    }
    ErrorCode enumValue(Key key, std::uint32_t index, platform::RegistryValue& value) override {
        if (valueFailures.count(pathOf[key]) && index == 1) return error::moreData;
        return MemoryRegistry::enumValue(key, index, value);
    }
    ErrorCode enumSubKey(Key key, std::uint32_t index, std::wstring& name) override {
        if (subKeyFailures.count(pathOf[key]) && index == 0) return error::moreData;
        return MemoryRegistry::enumSubKey(key, index, name);
    }
    Key openCurrentUser() override {
        ++openKeys;
        return MemoryRegistry::openCurrentUser();
    }
    void closeKey(Key key) override {
        --openKeys;
        MemoryRegistry::closeKey(key);
    }

    std::map<std::wstring, ErrorCode> openFailures;
    std::set<std::wstring> countFailures, valueFailures, subKeyFailures;
    int openKeys = 0;

private:
    std::map<Key, std::wstring> pathOf;
};

platform::RegistryValue value(const std::wstring& name, std::uint32_t type, std::vector<std::uint8_t> data) {
    return {name, type, std::move(data)};
}

class RegistryCollectorTest : public ::testing::Test {
protected:
    std::wstring getKey(const std::wstring& path) {
        TextSink text;
        RegistryRoot root(registry, path);
        collector.getKey(root, path, text);
        root.close();
        EXPECT_EQ(registry.openKeys, 0) << "keys left open";
        return text.take();
    }
    std::wstring getValue(const std::wstring& path, std::wstring& listing) {
        TextSink text;
        text << L"before\n";
        RegistryRoot root(registry, path);
        listing = collector.getValue(root, path, text);
        root.close();
        EXPECT_EQ(registry.openKeys, 0) << "keys left open";
        return text.text().substr(7);
    }
    std::wstring readValue(const std::wstring& path) {
        RegistryRoot root(registry, path);
        return collector.readValue(root, path);
    }

    FaultyRegistry registry;
    FakeHost host;
    RegistryCollector collector{registry, host};
};

const std::wstring example = L"SOFTWARE\\Example";
const std::wstring lm = L"HKEY_LOCAL_MACHINE\\";

}  // namespace

TEST(RegistryRoot, ResolvesEveryRootNameIgnoringTheCaseOfLetters) {
    MemoryRegistry registry;
    const std::pair<const wchar_t*, PredefinedKey> roots[] = {
        {L"HKEY_CLASSES_ROOT", PredefinedKey::classesRoot},
        {L"hkey_current_config", PredefinedKey::currentConfig},
        {L"HKEY_CURRENT_USER_LOCAL_SETTINGS", PredefinedKey::currentUserLocalSettings},
        {L"Hkey_Local_Machine", PredefinedKey::localMachine},
        {L"HKEY_PERFORMANCE_DATA", PredefinedKey::performanceData},
        {L"HKEY_PERFORMANCE_NLSTEXT", PredefinedKey::performanceNlsText},
        {L"HKEY_PERFORMANCE_TEXT", PredefinedKey::performanceText},
        {L"HKEY_USERS", PredefinedKey::users},
    };
    for (const auto& [name, key] : roots) {
        const RegistryRoot root(registry, std::wstring(name) + L"\\Some\\Value");
        EXPECT_EQ(root.handle(), registry.predefinedKey(key)) << name;
        EXPECT_FALSE(root.owned());
    }
    for (const wchar_t* unknown : {L"HKLM\\x", L"HKCU", L" HKEY_USERS\\x", L"\nHKEY_USERS\\x", L"HKEY_USERS \\x",
                                   L"", L"\\HKEY_USERS", L"HKEY_LOCAL_MACHINE_\\x", L"HKEY_\u0130SERS"}) {
        const RegistryRoot root(registry, unknown);
        EXPECT_EQ(root.handle(), nullptr) << unknown;
        EXPECT_FALSE(root.owned());
    }
}

TEST(RegistryRoot, OwnsTheCurrentUsersKeyUntilClosed) {
    FaultyRegistry registry;
    {
        RegistryRoot root(registry, L"hkey_current_user\\Software");
        EXPECT_EQ(root.handle(), registry.MemoryRegistry::openCurrentUser());
        EXPECT_TRUE(root.owned());
        EXPECT_EQ(registry.openKeys, 1);
        root.close();
        root.close();
        EXPECT_EQ(registry.openKeys, 0);
    }
    { const RegistryRoot forgotten(registry, L"HKEY_CURRENT_USER"); }
    EXPECT_EQ(registry.openKeys, 0) << "the destructor closes what close() was not called for";
}

TEST_F(RegistryCollectorTest, GetValueWritesTheTypedElementAndTheListing) {
    registry.setValue(PredefinedKey::localMachine, example, MemoryRegistry::dwordValue(L"Level", 5));
    registry.setValue(PredefinedKey::localMachine, example, MemoryRegistry::stringValue(L"", L"default"));
    registry.setValue(PredefinedKey::localMachine, example,
                      MemoryRegistry::stringValue(L"say \"<&>\"", L"a \"quoted\" <b> & c"));
    registry.setCurrentUserValue(L"Software\\Mine", MemoryRegistry::stringValue(L"Colour", L"blue"));
    std::wstring listing;

    EXPECT_EQ(getValue(lm + example + L"\\Level", listing),
              L"<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Level\" type=\"DWORD\">5</key>\n");
    EXPECT_EQ(listing, L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Level]\n\"Level\":5\n");

    EXPECT_EQ(getValue(L"hkey_local_machine\\software\\EXAMPLE\\", listing),
              L"<key name=\"hkey_local_machine\\software\\EXAMPLE\\\" type=\"String\">default</key>\n");
    EXPECT_EQ(listing, L"[hkey_local_machine\\software\\EXAMPLE\\]\n\"\":default\n");

    EXPECT_EQ(getValue(lm + example + L"\\say \"<&>\"", listing),
              L"<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\say \"<&>\"\" type=\"String\">"
              L"a \"quoted\" <b> & c</key>\n");

    EXPECT_EQ(getValue(L"HKEY_CURRENT_USER\\Software\\Mine\\Colour", listing),
              L"<key name=\"HKEY_CURRENT_USER\\Software\\Mine\\Colour\" type=\"String\">blue</key>\n");
}

TEST_F(RegistryCollectorTest, GetValueFailuresCarryTheSystemsText) {
    registry.createKey(PredefinedKey::localMachine, example);
    registry.openFailures[L"SOFTWARE\\Locked\\"] = error::accessDenied;
    std::wstring listing;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {lm + example + L"\\Missing", L"message 2\r\n"},
        {lm + L"SOFTWARE\\NoSuchKey\\Value", L"message 2\r\n"},
        {lm + L"SOFTWARE\\Locked\\Value", L"message 5\r\n"},
        {L"HKLM\\SOFTWARE\\Example\\Missing", L"message 6\r\n"},
        {L"\n  HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Missing", L"message 6\r\n"},
        {L"HKEY_LOCAL_MACHINE", L"message 2\r\n"},
        {L"HKEY_LOCAL_MACHINE\\", L"message 2\r\n"},
    };
    for (const auto& [path, text] : cases) {
        EXPECT_EQ(getValue(path, listing), L"<key name=\"" + path + L"\">" + text + L"</key>\n") << path;
        EXPECT_EQ(listing, L"[" + path + L"]\n" + text + L"\n") << path;
    }
}

TEST_F(RegistryCollectorTest, ReadValueGivesTheDataTextOnly) {
    registry.setValue(PredefinedKey::localMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler",
                      MemoryRegistry::stringValue(L"ObjectName", L"LocalSystem"));
    registry.setValue(PredefinedKey::localMachine, example, value(L"Big", 3, std::vector<std::uint8_t>(3 << 20, 7)));
    const std::wstring services = lm + L"SYSTEM\\CurrentControlSet\\Services\\";
    EXPECT_EQ(readValue(services + L"Spooler\\ObjectName"), L"LocalSystem");
    EXPECT_EQ(readValue(services + L"Spooler\\Missing"), L"unknown Value");
    EXPECT_EQ(readValue(services + L"NoService\\ObjectName"), L"message 2\r\n");
    EXPECT_EQ(readValue(L"HKLM\\SYSTEM\\ObjectName"), L"message 6\r\n");
    EXPECT_EQ(readValue(lm + example + L"\\Big").size(), 12 + (3u << 20) * 7 + (3u << 20) / 8);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST_F(RegistryCollectorTest, GetKeyListsSubKeysBeforeTheKeysOwnValues) {
    registry.setValue(PredefinedKey::localMachine, example, MemoryRegistry::stringValue(L"A", L"hi"));
    registry.setValue(PredefinedKey::localMachine, example, MemoryRegistry::dwordValue(L"B", 5));
    registry.createKey(PredefinedKey::localMachine, example + L"\\Sub");
    EXPECT_EQ(getKey(lm + example), L"<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Sub\"/>\n"
                                    L"<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\A\" type=\"String\">hi</key>\n"
                                    L"<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\B\" type=\"DWORD\">5</key>\n");
}

TEST_F(RegistryCollectorTest, GetKeyWalksTheWholeTreeInPostOrder) {
    const auto key = [](const std::wstring& sub) { return L"SOFTWARE\\Tree" + sub; };
    registry.setValue(PredefinedKey::localMachine, key(L"\\beta"), MemoryRegistry::dwordValue(L"X", 1));
    registry.setValue(PredefinedKey::localMachine, key(L"\\beta"), MemoryRegistry::stringValue(L"", L"d"));
    registry.setValue(PredefinedKey::localMachine, key(L"\\Alpha\\Deep"), MemoryRegistry::dwordValue(L"V", 2));
    registry.setValue(PredefinedKey::localMachine, key(L""), MemoryRegistry::dwordValue(L"Top", 3));
    const std::wstring path = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tree";
    EXPECT_EQ(getKey(path), L"<key name=\"" + path + L"\\Alpha\\Deep\\V\" type=\"DWORD\">2</key>\n"
                            L"<key name=\"" + path + L"\\Alpha\"/>\n"
                            L"<key name=\"" + path + L"\\beta\\X\" type=\"DWORD\">1</key>\n"
                            L"<key name=\"" + path + L"\\beta\\\" type=\"String\">d</key>\n"
                            L"<key name=\"" + path + L"\\Top\" type=\"DWORD\">3</key>\n");
    // A trailing backslash doubles before value names, not before sub-keys.
    EXPECT_EQ(getKey(path + L"\\Alpha\\"), L"<key name=\"" + path + L"\\Alpha\\Deep\\V\" type=\"DWORD\">2</key>\n"
                                           L"<key name=\"" + path + L"\\Alpha\\\"/>\n");
    EXPECT_EQ(getKey(path + L"\\beta\\"), L"<key name=\"" + path + L"\\beta\\\\X\" type=\"DWORD\">1</key>\n"
                                          L"<key name=\"" + path + L"\\beta\\\\\" type=\"String\">d</key>\n");
}

TEST_F(RegistryCollectorTest, GetKeyOfARootDumpsTheRoot) {
    registry.createKey(PredefinedKey::users, L"One");
    registry.createKey(PredefinedKey::users, L"Two");
    EXPECT_EQ(getKey(L"HKEY_USERS\\"), L"<key name=\"HKEY_USERS\\One\"/>\n<key name=\"HKEY_USERS\\Two\"/>\n"
                                      L"<key name=\"HKEY_USERS\\\"/>\n");
    EXPECT_EQ(getKey(L"HKEY_USERS"), L"<key name=\"HKEY_USERS\">message 2\r\n</key>\n");
}

TEST_F(RegistryCollectorTest, GetKeyFailuresStayWithTheirKey) {
    const std::wstring path = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tree";
    for (const wchar_t* sub : {L"\\A", L"\\B", L"\\C", L"\\D", L"\\E"}) {
        registry.setValue(PredefinedKey::localMachine, L"SOFTWARE\\Tree" + std::wstring(sub),
                          MemoryRegistry::dwordValue(L"V", 1));
        registry.setValue(PredefinedKey::localMachine, L"SOFTWARE\\Tree" + std::wstring(sub),
                          MemoryRegistry::dwordValue(L"W", 2));
    }
    registry.createKey(PredefinedKey::localMachine, L"SOFTWARE\\Tree\\E\\Hidden");
    registry.openFailures[L"SOFTWARE\\Tree\\A"] = error::accessDenied;
    registry.countFailures.insert(L"SOFTWARE\\Tree\\B");
    registry.valueFailures.insert(L"SOFTWARE\\Tree\\C");
    registry.subKeyFailures.insert(L"SOFTWARE\\Tree\\E");
    EXPECT_EQ(getKey(path), L"<key name=\"" + path + L"\\A\">message 5\r\n</key>\n"
                            L"<key name=\"" + path + L"\\B\">message 5\r\n</key>\n"
                            L"<key name=\"" + path + L"\\C\\V\" type=\"DWORD\">1</key>\n"
                            L"<key name=\"" + path + L"\\C\\\" type=\"unknown\">message 234\r\n</key>\n"
                            L"<key name=\"" + path + L"\\D\\V\" type=\"DWORD\">1</key>\n"
                            L"<key name=\"" + path + L"\\D\\W\" type=\"DWORD\">2</key>\n"
                            L"<key name=\"" + path + L"\\E\\V\" type=\"DWORD\">1</key>\n"
                            L"<key name=\"" + path + L"\\E\\W\" type=\"DWORD\">2</key>\n"
                            L"<key name=\"" + path + L"\"/>\n");
    EXPECT_EQ(getKey(L"HKLM\\SOFTWARE"), L"<key name=\"HKLM\\SOFTWARE\">message 6\r\n</key>\n");
    EXPECT_EQ(getKey(L" HKEY_LOCAL_MACHINE\\SOFTWARE"), L"<key name=\" HKEY_LOCAL_MACHINE\\SOFTWARE\">message 6\r\n</key>\n");
    EXPECT_EQ(getKey(path + L" "), L"<key name=\"" + path + L" \">message 2\r\n</key>\n");
}

TEST_F(RegistryCollectorTest, GetKeyFollowsDeepTreesWithoutRecursion) {
    constexpr int depth = 2000;
    std::wstring keyPath = L"D";
    for (int level = 1; level < depth; ++level) keyPath += L"\\k";
    registry.setValue(PredefinedKey::localMachine, keyPath, MemoryRegistry::dwordValue(L"leaf", 7));
    const std::wstring text = getKey(L"HKEY_LOCAL_MACHINE\\D");
    EXPECT_EQ(text.substr(0, text.find(L'\n')),
              L"<key name=\"HKEY_LOCAL_MACHINE\\" + keyPath + L"\\leaf\" type=\"DWORD\">7</key>");
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), depth);
    EXPECT_TRUE(text.ends_with(L"<key name=\"HKEY_LOCAL_MACHINE\\D\"/>\n"));
}

TEST(MemoryRegistry, MatchesNamesIgnoringCaseAndSortsSubKeys) {
    MemoryRegistry registry;
    registry.createKey(PredefinedKey::localMachine, L"Top\\zeta");
    registry.createKey(PredefinedKey::localMachine, L"TOP\\Alpha\\");
    registry.createKey(PredefinedKey::localMachine, L"top\\10");
    registry.createKey(PredefinedKey::localMachine, L"top\\9");
    platform::Registry::Key top = nullptr;
    ASSERT_EQ(registry.openKey(registry.predefinedKey(PredefinedKey::localMachine), L"tOp\\", top), error::success);
    std::vector<std::wstring> names(4);
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(registry.enumSubKey(top, i, names[i]), error::success);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"10", L"9", L"Alpha", L"zeta"}));
    std::wstring name;
    EXPECT_EQ(registry.enumSubKey(top, 4, name), error::noMoreItems);

    const auto machine = registry.predefinedKey(PredefinedKey::localMachine);
    platform::Registry::Key zeta = nullptr;
    platform::Registry::Key opened = nullptr;
    ASSERT_EQ(registry.openKey(machine, L"top\\ZETA", zeta), error::success);
    EXPECT_EQ(registry.openKey(machine, L"Top\\\\zeta\\\\", opened), error::success);
    EXPECT_EQ(opened, zeta);
    EXPECT_EQ(registry.openKey(machine, L"\\Top", opened), error::badPathname);
    EXPECT_EQ(registry.openKey(machine, L"Top\\Missing", opened), error::fileNotFound);
    EXPECT_EQ(registry.openKey(nullptr, L"Top", opened), error::invalidHandle);
}

TEST(MemoryRegistry, TearsDownVeryDeepTrees) {
    auto registry = std::make_unique<MemoryRegistry>();
    std::wstring path = L"k";
    for (int level = 1; level < 300000; ++level) path += L"\\k";
    registry->createKey(PredefinedKey::users, path);
    platform::Registry::Key deepest = nullptr;
    EXPECT_EQ(registry->openKey(registry->predefinedKey(PredefinedKey::users), path, deepest), error::success);
    registry.reset();
}

TEST(MachineRegistry, HoldsTheProductNameAndOneKeyPerProcessor) {
    MemoryRegistry registry;
    std::istringstream osRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    std::istringstream cpuinfo(
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
        "cpu MHz\t\t: 2199.998\n\nprocessor\t: 1\nvendor_id\t: GenuineIntel\n"
        "model name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\ncpu MHz\t\t: 2200.5\n\n");
    platform::linux_layer::addMachineFacts(registry, osRelease, cpuinfo);
    FakeHost host;
    RegistryCollector collector(registry, host);
    TextSink text;
    const RegistryRoot root(registry, L"HKEY_LOCAL_MACHINE");
    const std::wstring product = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName";
    EXPECT_EQ(collector.getValue(root, product, text), L"[" + product + L"]\n\"ProductName\":Debian GNU/Linux 12 (bookworm)\n");
    text.take();
    collector.getKey(root, L"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor", text);
    const std::wstring cpu = L"<key name=\"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\";
    EXPECT_EQ(text.text(), cpu + L"0\\VendorIdentifier\" type=\"String\">GenuineIntel</key>\n" +
                        cpu + L"0\\ProcessorNameString\" type=\"String\">Intel(R) Xeon(R) CPU @ 2.20GHz</key>\n" +
                        cpu + L"0\\~MHz\" type=\"DWORD\">2200</key>\n" +
                        cpu + L"1\\VendorIdentifier\" type=\"String\">GenuineIntel</key>\n" +
                        cpu + L"1\\ProcessorNameString\" type=\"String\">Intel(R) Xeon(R) CPU @ 2.20GHz</key>\n" +
                        cpu + L"1\\~MHz\" type=\"DWORD\">2201</key>\n" +
                        L"<key name=\"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\"/>\n");
}

TEST(MachineRegistry, FallsBackToTheShortNameAndLeavesTheRestMissing) {
    MemoryRegistry registry;
    std::istringstream osRelease("NAME='Alpine Linux'\n");
    std::istringstream cpuinfo("");
    platform::linux_layer::addMachineFacts(registry, osRelease, cpuinfo);
    FakeHost host;
    RegistryCollector collector(registry, host);
    const RegistryRoot root(registry, L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(collector.readValue(root, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName"),
              L"Alpine Linux");
    EXPECT_EQ(collector.readValue(root, L"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0\\x"),
              L"message 2\r\n");
}
