#pragma once
#include "platform/Registry.h"

#include <string>

// Registry paths read "ROOT\key\path\value", always with backslashes.
namespace registry_path {

// The text before the first backslash; the whole path when it has none.
std::wstring rootName(const std::wstring& path);
// The key a key dump opens: everything after the first backslash, or the
// whole path when it has none.
std::wstring keyPath(const std::wstring& path);
// The path of a sub-key, with exactly one backslash before its name.
std::wstring childPath(const std::wstring& path, const std::wstring& subKeyName);

// A value's key, from just after the first backslash up to and including the
// last one, and the value's name after the last backslash ("" is the default value).
struct ValueLocation {
    std::wstring subKey;
    std::wstring valueName;
};
ValueLocation splitValuePath(const std::wstring& path);

}  // namespace registry_path

// The root key named at the front of a registry path. Root names ignore the
// case of A-Z and must be written out in full. The current user's key is opened
// here and closed by close() or, at the latest, by the destructor.
class RegistryRoot {
public:
    RegistryRoot(platform::Registry& registry, const std::wstring& path);
    ~RegistryRoot();
    RegistryRoot(const RegistryRoot&) = delete;
    RegistryRoot& operator=(const RegistryRoot&) = delete;

    // Null when the root name is unknown: every open through it then fails
    // with the invalid-handle error.
    platform::Registry::Key handle() const { return handle_; }
    bool owned() const { return owned_; }
    void close();

private:
    platform::Registry& registry_;
    platform::Registry::Key handle_ = nullptr;
    bool owned_ = false;
};
