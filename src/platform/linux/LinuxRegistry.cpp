#include "platform/linux/MachineRegistry.h"
#include "platform/linux/Paths.h"
#include "platform/linux/SystemdServices.h"
#include "platform/Native.h"
#include "text/AsciiCase.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

namespace platform {
namespace linux_layer {
namespace {

const std::wstring currentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::wstring processorsKey = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor";
const std::wstring servicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// A shell-style assignment value: the quotes around it removed.
std::string unquoted(std::string text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

void addProductName(MemoryRegistry& registry, std::istream& osRelease) {
    std::map<std::string, std::string> fields;
    std::string line;
    while (std::getline(osRelease, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = unquoted(line.substr(equals + 1));
    }
    const std::string name = fields.count("PRETTY_NAME") ? fields["PRETTY_NAME"] : fields["NAME"];
    if (!name.empty()) {
        registry.setValue(PredefinedKey::localMachine, currentVersionKey,
                          MemoryRegistry::stringValue(L"ProductName", fromNative(name)));
    }
}

// One key per processor, named by its number, as Windows lists them.
void addProcessors(MemoryRegistry& registry, std::istream& cpuinfo) {
    std::wstring key;
    std::string line;
    while (std::getline(cpuinfo, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string field = trimmed(line.substr(0, colon));
        const std::string value = trimmed(line.substr(colon + 1));
        if (field == "processor") {
            key = processorsKey + L"\\" + fromNative(value);
            registry.createKey(PredefinedKey::localMachine, key);
        } else if (key.empty()) {
            continue;
        } else if (field == "model name") {
            registry.setValue(PredefinedKey::localMachine, key,
                              MemoryRegistry::stringValue(L"ProcessorNameString", fromNative(value)));
        } else if (field == "vendor_id") {
            registry.setValue(PredefinedKey::localMachine, key,
                              MemoryRegistry::stringValue(L"VendorIdentifier", fromNative(value)));
        } else if (field == "cpu MHz") {
            const double megahertz = std::strtod(value.c_str(), nullptr);
            registry.setValue(PredefinedKey::localMachine, key,
                              MemoryRegistry::dwordValue(L"~MHz", static_cast<std::uint32_t>(std::lround(megahertz))));
        }
    }
}

}  // namespace

void addMachineFacts(MemoryRegistry& registry, std::istream& osRelease, std::istream& cpuinfo) {
    addProductName(registry, osRelease);
    addProcessors(registry, cpuinfo);
}

namespace {

// The machine's facts are read when the registry is first reached through a
// root; a service's key when it is first opened, from the service manager.
class LinuxRegistry final : public MemoryRegistry {
public:
    ErrorCode openKey(Key parent, const std::wstring& path, Key& opened) override {
        if (parent == MemoryRegistry::predefinedKey(PredefinedKey::localMachine)) {
            if (const ErrorCode failed = addServiceAccount(path)) return failed;
        }
        return MemoryRegistry::openKey(parent, path, opened);
    }

    Key predefinedKey(PredefinedKey root) override {
        fillOnce();
        return MemoryRegistry::predefinedKey(root);
    }

    Key openCurrentUser() override {
        fillOnce();
        return MemoryRegistry::openCurrentUser();
    }

private:
    // The service's key holds its account. Everything after the services key
    // but a closing backslash is the unit name: systemd's escapes put
    // backslashes into unit names. A unit the manager does not know has no
    // key; one it could not tell about answers why.
    ErrorCode addServiceAccount(const std::wstring& path) {
        if (text::upperAscii(path.substr(0, servicesKey.size())) != text::upperAscii(servicesKey)) return error::success;
        std::wstring name = path.substr(servicesKey.size());
        while (!name.empty() && name.back() == L'\\') name.pop_back();
        if (name.empty()) return error::success;
        const ServiceAccount account = serviceAccount(name);
        if (account.failure == error::success) {
            setValue(PredefinedKey::localMachine, path, stringValue(L"ObjectName", account.name));
        }
        return account.failure == error::serviceDoesNotExist ? error::success : account.failure;
    }

    void fillOnce() {
        if (filled_) return;
        filled_ = true;
        std::ifstream osRelease("/etc/os-release");
        if (!osRelease) osRelease.open("/usr/lib/os-release");
        std::ifstream cpuinfo("/proc/cpuinfo");
        addMachineFacts(*this, osRelease, cpuinfo);
    }

    bool filled_ = false;
};

}  // namespace
}  // namespace linux_layer

Registry& nativeRegistry() {
    static linux_layer::LinuxRegistry registry;
    return registry;
}

}  // namespace platform
