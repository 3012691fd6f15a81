#pragma once
#include "platform/ErrorCode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The predefined root keys other than the current user's, which is opened per user.
enum class PredefinedKey {
    classesRoot,
    currentConfig,
    currentUserLocalSettings,
    localMachine,
    performanceData,
    performanceNlsText,
    performanceText,
    users,
};

// One registry value as stored: the data is the raw bytes (strings are UTF-16LE).
struct RegistryValue {
    std::wstring name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct RegistryKeyCounts {
    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
};

// Read access to the registry; keys are opened read-only in the 64-bit view.
class Registry {
public:
    // An open key or a predefined root; null names no key, and every use of it
    // fails with error::invalidHandle.
    using Key = void*;

    virtual ~Registry() = default;

    virtual Key predefinedKey(PredefinedKey root) = 0;
    // The running user's key, to be closed with closeKey; null when it cannot be opened.
    virtual Key openCurrentUser() = 0;
    // Opens the sub-key at a backslash-separated path; an empty path opens the key itself.
    virtual ErrorCode openKey(Key parent, const std::wstring& path, Key& opened) = 0;
    virtual ErrorCode countEntries(Key key, RegistryKeyCounts& counts) = 0;
    // The value at an index of the key's enumeration order, with its name, type and data.
    virtual ErrorCode enumValue(Key key, std::uint32_t index, RegistryValue& value) = 0;
    virtual ErrorCode enumSubKey(Key key, std::uint32_t index, std::wstring& name) = 0;
    // The named value ("" for the default value); error::fileNotFound when it does not exist.
    virtual ErrorCode queryValue(Key key, const std::wstring& name, RegistryValue& value) = 0;
    // Closes a key from openKey or openCurrentUser; predefined roots are left alone.
    virtual void closeKey(Key key) = 0;
};

// The registry value types the report names.
namespace registry_type {
inline constexpr std::uint32_t none = 0;
inline constexpr std::uint32_t string = 1;
inline constexpr std::uint32_t expandString = 2;
inline constexpr std::uint32_t binary = 3;
inline constexpr std::uint32_t dword = 4;
inline constexpr std::uint32_t dwordBigEndian = 5;
inline constexpr std::uint32_t link = 6;
inline constexpr std::uint32_t multiString = 7;
inline constexpr std::uint32_t qword = 11;
}  // namespace registry_type

}  // namespace platform
