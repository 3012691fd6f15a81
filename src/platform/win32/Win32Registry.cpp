#include "platform/Native.h"

#include <windows.h>

#include <algorithm>

namespace platform {
namespace {

constexpr REGSAM readAccess = KEY_READ | KEY_WOW64_64KEY;
// The longest value name the registry allows, with its terminator.
constexpr DWORD valueNameCapacity = 16384;
constexpr DWORD keyNameCapacity = 256;
// Data that keeps growing between two reads is given up on after this many tries.
constexpr int readAttempts = 8;

HKEY hkey(Registry::Key key) { return static_cast<HKEY>(key); }

class Win32Registry final : public Registry {
public:
    Key predefinedKey(PredefinedKey root) override {
        switch (root) {
        case PredefinedKey::classesRoot: return HKEY_CLASSES_ROOT;
        case PredefinedKey::currentConfig: return HKEY_CURRENT_CONFIG;
        case PredefinedKey::currentUserLocalSettings: return HKEY_CURRENT_USER_LOCAL_SETTINGS;
        case PredefinedKey::localMachine: return HKEY_LOCAL_MACHINE;
        case PredefinedKey::performanceData: return HKEY_PERFORMANCE_DATA;
        case PredefinedKey::performanceNlsText: return HKEY_PERFORMANCE_NLSTEXT;
        case PredefinedKey::performanceText: return HKEY_PERFORMANCE_TEXT;
        case PredefinedKey::users: return HKEY_USERS;
        }
        return nullptr;
    }

    Key openCurrentUser() override {
        HKEY key = nullptr;
        RegOpenCurrentUser(readAccess, &key);
        return key;
    }

    ErrorCode openKey(Key parent, const std::wstring& path, Key& opened) override {
        HKEY key = nullptr;
        const LSTATUS status = RegOpenKeyExW(hkey(parent), path.c_str(), 0, readAccess, &key);
        if (status == ERROR_SUCCESS) opened = key;
        return static_cast<ErrorCode>(status);
    }

    ErrorCode countEntries(Key key, RegistryKeyCounts& counts) override {
        DWORD subKeys = 0;
        DWORD values = 0;
        const LSTATUS status = RegQueryInfoKeyW(hkey(key), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                &values, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) counts = {subKeys, values};
        return static_cast<ErrorCode>(status);
    }

    ErrorCode enumValue(Key key, std::uint32_t index, RegistryValue& value) override {
        wchar_t name[valueNameCapacity];
        DWORD nameLength = 0;
        const ErrorCode status = readGrowing(value, [&](DWORD* type, BYTE* data, DWORD* size) {
            nameLength = valueNameCapacity;
            return RegEnumValueW(hkey(key), index, name, &nameLength, nullptr, type, data, size);
        });
        value.name = status == ERROR_SUCCESS ? std::wstring(name, nameLength) : L"";
        return status;
    }

    ErrorCode enumSubKey(Key key, std::uint32_t index, std::wstring& name) override {
        wchar_t buffer[keyNameCapacity];
        DWORD length = keyNameCapacity;
        const LSTATUS status = RegEnumKeyExW(hkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) name.assign(buffer, length);
        return static_cast<ErrorCode>(status);
    }

    ErrorCode queryValue(Key key, const std::wstring& name, RegistryValue& value) override {
        value.name = name;
        return readGrowing(value, [&](DWORD* type, BYTE* data, DWORD* size) {
            return RegQueryValueExW(hkey(key), name.c_str(), nullptr, type, data, size);
        });
    }

    void closeKey(Key key) override {
        if (key) RegCloseKey(hkey(key));
    }

private:
    // Reads into a scratch buffer that grows when the registry asks for more room.
    template <typename Read>
    ErrorCode readGrowing(RegistryValue& value, Read read) {
        LSTATUS status = ERROR_MORE_DATA;
        DWORD size = 0;
        DWORD type = 0;
        for (int attempt = 0; attempt < readAttempts && status == ERROR_MORE_DATA; ++attempt) {
            size = static_cast<DWORD>(scratch_.size());
            status = read(&type, scratch_.data(), &size);
            if (status == ERROR_MORE_DATA) scratch_.resize(std::max<std::size_t>(size, scratch_.size() * 2));
        }
        if (status == ERROR_SUCCESS) {
            value.type = type;
            value.data.assign(scratch_.begin(), scratch_.begin() + size);
        }
        return static_cast<ErrorCode>(status);
    }

    std::vector<BYTE> scratch_ = std::vector<BYTE>(64 * 1024);
};

}  // namespace

Registry& nativeRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace platform
