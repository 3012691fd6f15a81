#include "platform/linux/MemoryRegistry.h"

#include <algorithm>
#include <cwctype>

namespace platform {
namespace {

std::wstring folded(const std::wstring& name) {
    std::wstring result = name;
    for (wchar_t& c : result) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return result;
}

void appendUtf16(std::vector<std::uint8_t>& bytes, std::uint32_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// The key names along a path; empty names between backslashes are passed over.
std::vector<std::wstring> keyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    std::size_t begin = 0;
    while (begin < path.size()) {
        std::size_t end = path.find(L'\\', begin);
        if (end == std::wstring::npos) end = path.size();
        if (end > begin) names.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    return names;
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
    for (auto& root : roots_) root = std::make_unique<Node>();
}

MemoryRegistry::~MemoryRegistry() {
    for (auto& root : roots_) destroy(std::move(root));
}

// Tears a tree down from a work list, so that no depth of keys nests destructor calls.
void MemoryRegistry::destroy(std::unique_ptr<Node> node) {
    std::vector<std::unique_ptr<Node>> pending;
    pending.push_back(std::move(node));
    while (!pending.empty()) {
        std::unique_ptr<Node> next = std::move(pending.back());
        pending.pop_back();
        for (auto& subKey : next->subKeys) pending.push_back(std::move(subKey));
    }
}

MemoryRegistry::Node& MemoryRegistry::root(PredefinedKey key) { return *roots_[static_cast<std::size_t>(key)]; }

MemoryRegistry::Node& MemoryRegistry::currentUser() { return *roots_[currentUserSlot]; }

MemoryRegistry::Node& MemoryRegistry::create(Node& start, const std::wstring& path) {
    Node* node = &start;
    for (const std::wstring& name : keyNames(path)) {
        std::wstring key = folded(name);
        if (const auto found = node->subKeyIndex.find(key); found != node->subKeyIndex.end()) {
            node = found->second;
            continue;
        }
        auto subKey = std::make_unique<Node>();
        subKey->name = name;
        subKey->foldedName = key;
        Node& parent = *node;
        node = subKey.get();
        parent.subKeyIndex.emplace(std::move(key), node);
        parent.subKeys.push_back(std::move(subKey));
        parent.subKeysSorted = false;
    }
    return *node;
}

// Follows the path as the registry does: it must not start with a backslash.
ErrorCode MemoryRegistry::find(Node& start, const std::wstring& path, Node*& found) {
    if (!path.empty() && path.front() == L'\\') return error::badPathname;
    Node* node = &start;
    for (const std::wstring& name : keyNames(path)) {
        const auto next = node->subKeyIndex.find(folded(name));
        if (next == node->subKeyIndex.end()) return error::fileNotFound;
        node = next->second;
    }
    found = node;
    return error::success;
}

void MemoryRegistry::createKey(PredefinedKey root, const std::wstring& path) { create(this->root(root), path); }

void MemoryRegistry::createCurrentUserKey(const std::wstring& path) { create(currentUser(), path); }

void MemoryRegistry::setValue(PredefinedKey root, const std::wstring& path, RegistryValue value) {
    assign(create(this->root(root), path), std::move(value));
}

void MemoryRegistry::setCurrentUserValue(const std::wstring& path, RegistryValue value) {
    assign(create(currentUser(), path), std::move(value));
}

void MemoryRegistry::assign(Node& node, RegistryValue value) {
    const std::wstring key = folded(value.name);
    const auto found = node.valueIndex.find(key);
    if (found != node.valueIndex.end()) {
        node.values[found->second] = std::move(value);
    } else {
        node.valueIndex.emplace(key, node.values.size());
        node.values.push_back(std::move(value));
    }
}

RegistryValue MemoryRegistry::stringValue(const std::wstring& name, const std::wstring& text) {
    RegistryValue value{name, registry_type::string, {}};
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF) {
            appendUtf16(value.data, 0xD800 + ((code - 0x10000) >> 10));
            appendUtf16(value.data, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            appendUtf16(value.data, code);
        }
    }
    appendUtf16(value.data, 0);
    return value;
}

RegistryValue MemoryRegistry::dwordValue(const std::wstring& name, std::uint32_t number) {
    RegistryValue value{name, registry_type::dword, {}};
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<std::uint8_t>(number >> shift));
    return value;
}

Registry::Key MemoryRegistry::predefinedKey(PredefinedKey key) { return &root(key); }

Registry::Key MemoryRegistry::openCurrentUser() { return &currentUser(); }

ErrorCode MemoryRegistry::openKey(Key parent, const std::wstring& path, Key& opened) {
    if (!parent) return error::invalidHandle;
    Node* found = nullptr;
    const ErrorCode result = find(*static_cast<Node*>(parent), path, found);
    if (result == error::success) opened = found;
    return result;
}

ErrorCode MemoryRegistry::countEntries(Key key, RegistryKeyCounts& counts) {
    if (!key) return error::invalidHandle;
    const auto& node = *static_cast<const Node*>(key);
    counts = {static_cast<std::uint32_t>(node.subKeys.size()), static_cast<std::uint32_t>(node.values.size())};
    return error::success;
}

ErrorCode MemoryRegistry::enumValue(Key key, std::uint32_t index, RegistryValue& value) {
    if (!key) return error::invalidHandle;
    const auto& node = *static_cast<const Node*>(key);
    if (index >= node.values.size()) return error::noMoreItems;
    value = node.values[index];
    return error::success;
}

void MemoryRegistry::sortSubKeys(Node& node) {
    if (node.subKeysSorted) return;
    std::sort(node.subKeys.begin(), node.subKeys.end(),
              [](const auto& left, const auto& right) { return left->foldedName < right->foldedName; });
    node.subKeysSorted = true;
}

ErrorCode MemoryRegistry::enumSubKey(Key key, std::uint32_t index, std::wstring& name) {
    if (!key) return error::invalidHandle;
    auto& node = *static_cast<Node*>(key);
    sortSubKeys(node);
    if (index >= node.subKeys.size()) return error::noMoreItems;
    name = node.subKeys[index]->name;
    return error::success;
}

ErrorCode MemoryRegistry::queryValue(Key key, const std::wstring& name, RegistryValue& value) {
    if (!key) return error::invalidHandle;
    const auto& node = *static_cast<const Node*>(key);
    const auto found = node.valueIndex.find(folded(name));
    if (found == node.valueIndex.end()) return error::fileNotFound;
    value = node.values[found->second];
    return error::success;
}

// Keys are views into the tree: there is nothing to release.
void MemoryRegistry::closeKey(Key) {}

}  // namespace platform
