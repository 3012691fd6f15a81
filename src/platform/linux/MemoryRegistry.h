#pragma once
#include "platform/Registry.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

// A registry held in memory: the Linux machine's registry view, and the unit
// tests' stand-in. Names match ignoring case as on Windows; sub-keys and values
// enumerate sorted by name and values in the order they were created. No depth of keys uses the call stack.
class MemoryRegistry : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    // Creates the key and the keys above it as needed.
    void createKey(PredefinedKey root, const std::wstring& path);
    void createCurrentUserKey(const std::wstring& path);
    // Creates the key as needed and sets the value, replacing one of the same name.
    void setValue(PredefinedKey root, const std::wstring& path, RegistryValue value);
    void setCurrentUserValue(const std::wstring& path, RegistryValue value);

    // Value builders: strings as UTF-16LE with their terminator, numbers little-endian.
    static RegistryValue stringValue(const std::wstring& name, const std::wstring& text);
    static RegistryValue dwordValue(const std::wstring& name, std::uint32_t number);

    Key predefinedKey(PredefinedKey root) override;
    Key openCurrentUser() override;
    ErrorCode openKey(Key parent, const std::wstring& path, Key& opened) override;
    ErrorCode countEntries(Key key, RegistryKeyCounts& counts) override;
    ErrorCode enumValue(Key key, std::uint32_t index, RegistryValue& value) override;
    ErrorCode enumSubKey(Key key, std::uint32_t index, std::wstring& name) override;
    ErrorCode queryValue(Key key, const std::wstring& name, RegistryValue& value) override;
    void closeKey(Key key) override;

private:
    struct Node {
        std::wstring name;
        std::wstring foldedName;
        // Sub-keys enumerate sorted by name, as the registry keeps them; the
        // sorting waits until they are enumerated.
        std::vector<std::unique_ptr<Node>> subKeys;
        bool subKeysSorted = true;
        std::unordered_map<std::wstring, Node*> subKeyIndex;  // by folded name
        std::vector<RegistryValue> values;
        std::unordered_map<std::wstring, std::size_t> valueIndex;  // by folded name
    };

    Node& root(PredefinedKey key);
    Node& currentUser();
    static Node& create(Node& start, const std::wstring& path);
    static void assign(Node& node, RegistryValue value);
    static void sortSubKeys(Node& node);
    static ErrorCode find(Node& start, const std::wstring& path, Node*& found);
    static void destroy(std::unique_ptr<Node> node);

    // The predefined roots in their enumeration order, then the current user's key.
    static constexpr std::size_t currentUserSlot = static_cast<std::size_t>(PredefinedKey::users) + 1;
    std::array<std::unique_ptr<Node>, currentUserSlot + 1> roots_;
};

}  // namespace platform
