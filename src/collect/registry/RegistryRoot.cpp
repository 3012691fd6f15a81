#include "collect/registry/RegistryRoot.h"

#include "text/AsciiCase.h"

#include <optional>
#include <utility>

namespace registry_path {

std::wstring rootName(const std::wstring& path) { return path.substr(0, path.find(L'\\')); }

std::wstring keyPath(const std::wstring& path) {
    const auto first = path.find(L'\\');
    return first == std::wstring::npos ? path : path.substr(first + 1);
}

std::wstring childPath(const std::wstring& path, const std::wstring& subKeyName) {
    const bool endsWithBackslash = !path.empty() && path.back() == L'\\';
    return endsWithBackslash ? path + subKeyName : path + L'\\' + subKeyName;
}

ValueLocation splitValuePath(const std::wstring& path) {
    const auto first = path.find(L'\\');
    if (first == std::wstring::npos) return {L"", path};
    const auto last = path.rfind(L'\\');
    return {path.substr(first + 1, last - first), path.substr(last + 1)};
}

}  // namespace registry_path

namespace {

std::optional<platform::PredefinedKey> predefinedRoot(const std::wstring& name) {
    using platform::PredefinedKey;
    static const std::pair<const wchar_t*, PredefinedKey> roots[] = {
        {L"HKEY_CLASSES_ROOT", PredefinedKey::classesRoot},
        {L"HKEY_CURRENT_CONFIG", PredefinedKey::currentConfig},
        {L"HKEY_CURRENT_USER_LOCAL_SETTINGS", PredefinedKey::currentUserLocalSettings},
        {L"HKEY_LOCAL_MACHINE", PredefinedKey::localMachine},
        {L"HKEY_PERFORMANCE_DATA", PredefinedKey::performanceData},
        {L"HKEY_PERFORMANCE_NLSTEXT", PredefinedKey::performanceNlsText},
        {L"HKEY_PERFORMANCE_TEXT", PredefinedKey::performanceText},
        {L"HKEY_USERS", PredefinedKey::users},
    };
    for (const auto& [rootName, key] : roots) {
        if (name == rootName) return key;
    }
    return std::nullopt;
}

}  // namespace

RegistryRoot::RegistryRoot(platform::Registry& registry, const std::wstring& path) : registry_(registry) {
    const std::wstring name = text::upperAscii(registry_path::rootName(path));
    if (name == L"HKEY_CURRENT_USER") {
        handle_ = registry_.openCurrentUser();
        owned_ = true;
    } else if (const auto root = predefinedRoot(name)) {
        handle_ = registry_.predefinedKey(*root);
    }
}

RegistryRoot::~RegistryRoot() { close(); }

void RegistryRoot::close() {
    if (!owned_) return;
    registry_.closeKey(handle_);
    handle_ = nullptr;
    owned_ = false;
}
