// Dumps in-memory registry trees of growing size with getKey and reports the
// values per second, to show that the dump stays linear in the number of values.
#include "collect/registry/RegistryCollector.h"
#include "platform/Native.h"
#include "platform/linux/MemoryRegistry.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using platform::MemoryRegistry;
using platform::PredefinedKey;

constexpr int valuesPerKey = 5;
constexpr int keysPerLevel = 100;

// Keys two levels below the top, five values each: a string, a number and binary data.
void fill(MemoryRegistry& registry, int values) {
    for (int key = 0; key * valuesPerKey < values; ++key) {
        const std::wstring path = L"SOFTWARE\\Bench\\Group" + std::to_wstring(key / keysPerLevel) + L"\\Key" +
                                  std::to_wstring(key % keysPerLevel);
        for (int value = 0; value < valuesPerKey; ++value) {
            const std::wstring name = L"Value" + std::to_wstring(value);
            switch (value % 3) {
            case 0: registry.setValue(PredefinedKey::localMachine, path, MemoryRegistry::stringValue(name, path)); break;
            case 1: registry.setValue(PredefinedKey::localMachine, path, MemoryRegistry::dwordValue(name, key)); break;
            default: registry.setValue(PredefinedKey::localMachine, path, {name, 3, std::vector<std::uint8_t>(16, 0x5a)});
            }
        }
    }
}

}  // namespace

int main() {
    std::printf("%12s %12s %14s %14s\n", "values", "seconds", "values/s", "report chars");
    for (const int values : {100'000, 1'000'000}) {
        MemoryRegistry registry;
        fill(registry, values);
        RegistryCollector collector(registry, platform::nativeHost());
        const std::wstring path = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench";
        TextSink text;
        const auto start = std::chrono::steady_clock::now();
        {
            const RegistryRoot root(registry, path);
            collector.getKey(root, path, text);
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("%12d %12.3f %14.0f %14zu\n", values, elapsed.count(), values / elapsed.count(), text.text().size());
    }
}
