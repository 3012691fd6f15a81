#include "collect/registry/RegistryCollector.h"

#include "collect/registry/RegistryFormat.h"

using platform::ErrorCode;
using platform::Registry;
using platform::RegistryValue;
namespace error = platform::error;

// A key whose sub-keys are being dumped: it stays open, and its own elements
// wait until every sub-key's tree has been appended.
struct RegistryCollector::KeyVisit {
    std::wstring path;
    std::wstring elements;
    Registry::Key key = nullptr;
    std::uint32_t subKeys = 0;
    std::uint32_t nextSubKey = 0;
};

std::wstring RegistryCollector::errorText(ErrorCode code) const { return host_.errorMessage(code); }

std::wstring RegistryCollector::getValue(const RegistryRoot& root, const std::wstring& path,
                                         ReportSink& registry) const {
    const auto [subKey, valueName] = registry_path::splitValuePath(path);
    std::wstring listing = L"[" + path + L"]\n";
    std::wstring element = L"<key name=\"" + path + L"\"";
    Registry::Key key = nullptr;
    RegistryValue value;
    if (const ErrorCode opened = registry_.openKey(root.handle(), subKey, key); opened != error::success) {
        listing += errorText(opened);
        element += L">" + errorText(opened) + L"</key>\n";
    } else if (const ErrorCode read = registry_.queryValue(key, valueName, value); read != error::success) {
        listing += errorText(read);
        element += L">" + errorText(read) + L"</key>\n";
        registry_.closeKey(key);
    } else {
        const std::wstring data = formatData(value.type, value.data);
        listing += L"\"" + valueName + L"\":" + data;
        element += L" type=\"" + typeName(value.type) + L"\">" + data + L"</key>\n";
        registry_.closeKey(key);
    }
    listing += L"\n";
    registry << element;
    return listing;
}

std::wstring RegistryCollector::readValue(const RegistryRoot& root, const std::wstring& path) const {
    const auto [subKey, valueName] = registry_path::splitValuePath(path);
    Registry::Key key = nullptr;
    if (const ErrorCode opened = registry_.openKey(root.handle(), subKey, key); opened != error::success) {
        return errorText(opened);
    }
    RegistryValue value;
    const ErrorCode read = registry_.queryValue(key, valueName, value);
    registry_.closeKey(key);
    if (read == error::fileNotFound) return L"unknown Value";
    if (read != error::success) return errorText(read);
    return formatData(value.type, value.data);
}

// Walks the tree with an explicit stack of open keys, so that the registry's
// depth never reaches the call stack.
void RegistryCollector::getKey(const RegistryRoot& root, const std::wstring& path, ReportSink& registry) const {
    std::vector<KeyVisit> visits;
    visitKey(root, path, visits, registry);
    while (!visits.empty()) {
        KeyVisit& visit = visits.back();
        if (visit.nextSubKey < visit.subKeys) {
            std::wstring name;
            if (registry_.enumSubKey(visit.key, visit.nextSubKey++, name) == error::success) {
                visitKey(root, registry_path::childPath(visit.path, name), visits, registry);
            }
            continue;
        }
        registry_.closeKey(visit.key);
        registry << visit.elements;
        visits.pop_back();
    }
}

// Opens a key and writes its value elements; a key that cannot be opened or
// counted is finished at once with its error element.
void RegistryCollector::visitKey(const RegistryRoot& root, const std::wstring& path, std::vector<KeyVisit>& visits,
                                 ReportSink& registry) const {
    std::wstring elements = L"<key name=\"" + path;
    Registry::Key key = nullptr;
    if (const ErrorCode opened = registry_.openKey(root.handle(), registry_path::keyPath(path), key);
        opened != error::success) {
        registry << elements << L"\">" << errorText(opened) << L"</key>\n";
        return;
    }
    platform::RegistryKeyCounts counts;
    if (const ErrorCode counted = registry_.countEntries(key, counts); counted != error::success) {
        registry_.closeKey(key);
        registry << elements << L"\">" << errorText(counted) << L"</key>\n";
        return;
    }
    appendValueElements(key, path, counts.values, elements);
    visits.push_back({path, std::move(elements), key, counts.subKeys, 0});
}

// The first element's opening is already in place; a value that cannot be read
// keeps its element, typed "unknown" and holding the error text.
void RegistryCollector::appendValueElements(Registry::Key key, const std::wstring& path, std::uint32_t count,
                                            std::wstring& elements) const {
    if (count == 0) elements += L"\"/>\n";
    for (std::uint32_t index = 0; index < count; ++index) {
        if (index > 0) elements += L"<key name=\"" + path;
        RegistryValue value;
        const ErrorCode read = registry_.enumValue(key, index, value);
        elements += L"\\" + value.name + L"\" type=\"";
        if (read != error::success) {
            elements += L"unknown\">" + errorText(read) + L"</key>\n";
        } else {
            elements += typeName(value.type) + L"\">" + formatData(value.type, value.data) + L"</key>\n";
        }
    }
}
