#pragma once
#include "collect/registry/RegistryRoot.h"
#include "dispatch/ReportSink.h"
#include "platform/Host.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

// Reads registry values and whole keys into the report's registry section.
// Every failure becomes the system's text for its error code; nothing is
// XML-escaped. The root of each call must be the one named at the front of
// its path; no call closes it.
class RegistryCollector {
public:
    RegistryCollector(platform::Registry& registry, const platform::Host& host) : registry_(registry), host_(host) {}

    // The system's message for an error code, with its closing line break;
    // empty when the system has none.
    std::wstring errorText(platform::ErrorCode code) const;

    // Writes `<key name="PATH" type="TYPE">DATA</key>` and a line feed, or
    // `<key name="PATH">ERROR</key>`. Returns the value listing: "[PATH]\n",
    // then `"NAME":DATA` or the error text, then "\n". Readers take the text
    // after the first colon as the value's data.
    std::wstring getValue(const RegistryRoot& root, const std::wstring& path, ReportSink& registry) const;

    // The data text of one value, "unknown Value" when the key has no such
    // value, or the error text of any other failure.
    std::wstring readValue(const RegistryRoot& root, const std::wstring& path) const;

    // Writes one element per value of the key and of every key below it, in
    // post-order (each sub-key's whole tree before the key's own values), one
    // `<key name="PATH"/>` for a key without values, and an error element for a
    // key that cannot be opened or counted. Sub-keys whose names cannot be read
    // are skipped. Depth costs heap, not stack.
    void getKey(const RegistryRoot& root, const std::wstring& path, ReportSink& registry) const;

private:
    struct KeyVisit;

    void visitKey(const RegistryRoot& root, const std::wstring& path, std::vector<KeyVisit>& visits,
                  ReportSink& registry) const;
    void appendValueElements(platform::Registry::Key key, const std::wstring& path, std::uint32_t count,
                             std::wstring& elements) const;

    platform::Registry& registry_;
    const platform::Host& host_;
};
