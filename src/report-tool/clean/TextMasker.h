#pragma once
#include "report-tool/clean/AliasMap.h"
#include "report-tool/clean/SeenWords.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace clean {

// Hash sets and maps of texts looked up by std::string_view, without a copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

// Whether the account keeps its name in a cleaned report: built-in accounts
// and groups of Windows and the system accounts of Linux distributions.
bool isWellKnownAccount(std::string_view name);
// Whether a key of that name holds a secret: password, token, API key and the like.
bool isSecretKey(std::string_view key);

// A name or domain learned after text that may have held it was masked
// without it: the text must be masked again by a masker that knew it from the start.
struct LateLesson : std::exception {
    const char* what() const noexcept override { return "a name was learned after text that may hold it"; }
};

// Masks free text line by line: the names it was told (in any case, as whole
// words), DNS domains and every name below them, IPv4 and IPv6 addresses, MAC
// addresses, values of secret-looking keys and private-key blocks. It also
// learns from the text: the user names of profile paths, the NetBIOS domain
// before a known account and the DNS domain of the host's full name. A name gets its alias where it is first met.
class TextMasker {
public:
    explicit TextMasker(AliasMap& aliases);

    // A name masked wherever it stands as a whole word: host, NetBIOS domain, account or keyword.
    void addName(Kind kind, std::string_view name);
    // A DNS domain: it and every name below it.
    void addDomain(std::string_view domain);
    // A domain the user names: every name below it and, without a dot, as a NetBIOS domain too.
    void addGivenDomain(std::string_view domain);
    // An account as a field holds it: NAME, DOMAIN\NAME or NAME@DOMAIN.
    void addAccount(std::string_view account);

    // From now on remembers the text it masks, and throws LateLesson when it
    // learns a name or domain that text may have held.
    void watchForLateLessons() { seen_ = std::make_unique<SeenWords>(); }

    // A new text begins; a private key left open by the last one ends with it.
    void startText() { inPrivateKey_ = false; }
    // Appends the line, without its end, masked; false when the whole line is
    // dropped (inside a private key). Addresses false: the text holds version numbers.
    bool maskLine(std::string_view line, std::string& out, bool addresses = true);
    // The same for a text of LF-separated lines.
    void maskText(std::string_view text, std::string& out, bool addresses = true);
    std::string masked(std::string_view text, bool addresses = true);

    // Learns what the line would teach maskLine, masking nothing, at a fraction
    // of its cost: only the words after a path separator (profile folders,
    // DOMAIN\ACCOUNT) and at a host's name (its DNS domain) can teach.
    void learnLine(std::string_view line);
    // The same for a text of LF-separated lines.
    void learnText(std::string_view text);
    // Learns from the line, then masks it as maskLine does.
    bool learnAndMaskLine(std::string_view line, std::string& out);

private:
    struct Name {
        std::string lower;
        Kind kind;
    };
    // The line around a private key: the text before it, and after its end on the same line.
    struct KeyCut {
        std::string_view before, after;
        bool key = false;  // one begins between them
    };
    // A dotted name: where its labels start and where it ends; its text in lower case is in word_.
    struct DottedName {
        static constexpr std::size_t mostLabels = 32;
        std::size_t starts[mostLabels];
        std::size_t labels, end;
    };
    static constexpr std::size_t noLabel = DottedName::mostLabels;

    // Whether the name, in lower case, is known as one of any kind.
    bool knows(std::string_view lowerName) const;
    // Nothing when the whole line lies inside a private key.
    std::optional<KeyCut> cutPrivateKey(std::string_view line);
    void maskCut(const KeyCut& cut, std::string& out, bool addresses);
    void learnCut(const KeyCut& cut);
    void scan(std::string_view line, std::string& out, bool addresses);
    bool mayMask(std::string_view line, std::size_t at, std::size_t wordEnd, bool addresses) const;
    std::size_t maskWord(std::string_view line, std::size_t at, std::size_t wordEnd, std::string& out, bool addresses);
    std::size_t secretValue(std::string_view line, std::size_t separator) const;
    const Name* nameAt(std::string_view line, std::size_t at, std::size_t wordEnd);
    std::size_t maskName(std::string_view line, std::size_t at, std::size_t wordEnd, std::string& out);
    // Reads the dotted name at AT into NAME; false where there is none.
    bool dottedName(std::string_view line, std::size_t at, DottedName& name);
    std::size_t knownDomainLabel(const DottedName& name);
    std::size_t maskDottedName(std::string_view line, std::size_t at, std::string& out);
    std::size_t maskIpv4(std::string_view line, std::size_t at, std::string& out);
    std::size_t maskMac(std::string_view line, std::size_t at, std::string& out);
    std::size_t maskIpv6(std::string_view line, std::size_t at, std::string& out);
    void learnFrom(std::string_view line);
    void learnAfterSeparator(std::string_view line, std::size_t word);
    std::string_view learnDomainBefore(std::string_view line, std::size_t account);
    void learnProfile(std::string_view line, std::size_t wordStart, std::size_t wordEnd);
    bool learnHostDomain(const DottedName& name);

    AliasMap& aliases_;
    TextMap<std::vector<Name>> namesByFirstWord_;
    std::array<bool, 256> firstCharacters_{};  // of the names, in lower case: most words are no name
    std::array<bool, 256> teachingCharacters_{};  // the path separators and the hosts' first characters, in either case
    TextSet domains_;
    TextSet hosts_;
    std::string word_;  // the word looked up, in lower case
    std::uint64_t firstWordLengths_ = 0;  // bit N: a name's first word is N long (63: or longer)
    // Recent lookups, forgotten when what they looked in changes: text repeats its words line after line.
    struct FirstWordLookup {
        std::string word;
        const std::vector<Name>* names = nullptr;
    };
    std::array<FirstWordLookup, 16> firstWordLookups_;
    std::string lastDottedName_;
    std::size_t lastDomainLabel_ = noLabel;
    std::string network_;  // the network of the address being masked
    // The last domain before an account that taught nothing: known names stay known, so it never will.
    std::string untaughtDomain_;
    bool inPrivateKey_ = false;
    std::unique_ptr<SeenWords> seen_;  // while watching for late lessons
};

}  // namespace clean
