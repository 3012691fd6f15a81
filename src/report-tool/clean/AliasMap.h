#pragma once
#include <array>
#include <functional>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace clean {

// What a masked item is; its alias keeps the kind.
enum class Kind { host, domain, netbios, user, keyword, network, network6, mac };
inline constexpr std::size_t kindCount = 8;

// The customer's key: every original (in lower case) and its alias, per kind, in
// the order the aliases were made. Aliases hold no '|', '"', '<', '>', CR or LF.
class AliasMap {
public:
    // The alias of the original, made now when the original is new.
    const std::string& alias(Kind kind, std::string_view original);
    const std::string* find(Kind kind, std::string_view original) const;

    struct Entry {
        std::string original, alias;
        bool used = false;  // met in the report cleaned now
    };
    const std::vector<Entry>& entries(Kind kind) const { return kinds_[index(kind)].entries; }

    // One JSON object per kind: original -> alias.
    std::string json() const;
    // The map as json() wrote it; throws std::invalid_argument naming what is wrong.
    static AliasMap fromJson(std::string_view text);

    static const char* kindName(Kind kind);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    struct Aliases {
        std::vector<Entry> entries;
        std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> byOriginal;
        std::unordered_map<std::string, std::size_t> byAlias;
        // The entry asked for last: text repeats the same item line after line.
        std::size_t last = SIZE_MAX;
    };
    static std::size_t index(Kind kind) { return static_cast<std::size_t>(kind); }
    void add(Kind kind, std::string original, std::string alias);

    std::array<Aliases, kindCount> kinds_;
};

}  // namespace clean
