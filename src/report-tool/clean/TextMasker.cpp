#include "report-tool/clean/TextMasker.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace clean {
namespace {

constexpr std::string_view masking = "********";

// Letters, digits and every byte of a multi-byte character: a name is matched
// only where no such character touches it.
constexpr std::array<bool, 256> wordCharacters = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
    return table;
}();

bool isWord(char c) { return wordCharacters[static_cast<unsigned char>(c)]; }

// The collector writes U+FFFD in place of a control character in a name: it
// separates words as the control character did, so an address or a name before a
// line feed is still masked.
bool inReplacementCharacter(std::string_view text, std::size_t at) {
    constexpr std::string_view replacement = "\xEF\xBF\xBD";
    for (std::size_t back = 0; back < replacement.size() && back <= at; ++back)
        if (text.substr(at - back, replacement.size()) == replacement) return true;
    return false;
}
bool isWordAt(std::string_view text, std::size_t at) {
    return isWord(text[at]) && (static_cast<unsigned char>(text[at]) < 0x80 || !inReplacementCharacter(text, at));
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = lower(c);
    return result;
}
bool equalsLowered(std::string_view text, std::string_view lowerText) {
    return text.size() == lowerText.size() &&
           std::equal(text.begin(), text.end(), lowerText.begin(), [](char a, char b) { return lower(a) == b; });
}
bool isKeyCharacter(char c) { return isWord(c) || c == '_' || c == '-' || c == '.'; }
bool isLabelCharacter(char c) { return (isWord(c) && static_cast<unsigned char>(c) < 0x80) || c == '-'; }

bool oneOf(std::string_view text, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool isWellKnownDomain(std::string_view lowerDomain) {
    return oneOf(lowerDomain, {"nt authority", "nt service", "builtin", ".", "window manager", "font driver host",
                               "iis apppool", "nt virtual machine", "workgroup", "localhost", "localdomain"});
}

// Profile folders every Windows machine has.
bool isCommonProfile(std::string_view lowerName) {
    return oneOf(lowerName, {"public", "default", "default user", "all users", "defaultuser0", "defaultapppool"});
}

// Appends the alias in the case of the original: upper case where the original's letters all are.
void appendInCaseOf(std::string& out, std::string_view original, std::string_view alias) {
    const std::size_t start = out.size();
    out += alias;
    bool hasUpper = false;
    for (const char c : original) {
        if (c >= 'a' && c <= 'z') return;
        hasUpper = hasUpper || (c >= 'A' && c <= 'Z');
    }
    if (!hasUpper) return;
    for (std::size_t at = start; at < out.size(); ++at) out[at] = upper(out[at]);
}

// Each LF-separated line of the text, and whether another follows it.
template <typename Visit>
void eachLine(std::string_view text, Visit visit) {
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        visit(text.substr(start, end - start), end != text.size());
        if (end == text.size()) return;
        start = end + 1;
    }
}

std::string hexText(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

}  // namespace

bool isWellKnownAccount(std::string_view name) {
    const std::string account = lowered(name);
    if (account.empty() || account.starts_with("systemd-") || account.starts_with("_")) return true;
    return oneOf(account,
                 {// Windows, in the languages its installations name them
                  "administrator", "administrateur", "administrador", "amministratore", "administrat\xC3\xB6r",
                  "j\xC3\xA4rjestelm\xC3\xA4nvalvoja", "rendszergazda", "administr\xC3\xA1tor", "guest", "gast",
                  "invit\xC3\xA9", "invitado", "ospite", "system", "localsystem", "localservice", "networkservice",
                  "local service", "network service", "trustedinstaller", "defaultaccount", "wdagutilityaccount",
                  "krbtgt", "administrators", "users", "guests", "everyone", "authenticated users",
                  // Linux system accounts
                  "root", "daemon", "bin", "sys", "sync", "games", "man", "lp", "mail", "news", "uucp", "proxy",
                  "www-data", "backup", "list", "irc", "gnats", "nobody", "nogroup", "messagebus", "sshd", "postgres",
                  "mysql", "redis", "polkitd", "avahi", "colord", "dnsmasq", "ntp", "chrony", "syslog", "uuidd", "tss",
                  "tcpdump", "usbmux", "rtkit", "pulse", "geoclue", "saned", "lightdm", "gdm", "sddm", "sudo", "wheel",
                  "adm", "admin", "staff", "docker"});
}

namespace {

constexpr std::string_view secretParts[] = {"password", "passwd",  "pwd",        "secret",      "token",
                                            "apikey",   "api_key", "api-key",    "privatekey",  "private_key",
                                            "private-key", "credential"};
// Per first letter of a part, the second letters that follow it (bit 0 for 'a'):
// most places in a key start no part, and two letters tell.
constexpr std::array<std::uint32_t, 128> secretPartStarts = [] {
    std::array<std::uint32_t, 128> starts{};
    for (std::string_view part : secretParts) starts[part[0]] |= 1u << (part[1] - 'a');
    return starts;
}();

// The first letters of the parts, in either case: most characters of a key are none.
constexpr std::array<bool, 256> secretPartFirsts = [] {
    std::array<bool, 256> firsts{};
    for (std::string_view part : secretParts) firsts[part[0]] = firsts[part[0] - 32] = true;
    return firsts;
}();

bool startsSecretPart(char first, char second) {
    const auto index = static_cast<unsigned char>(first);
    const unsigned letter = static_cast<unsigned char>(second) - 'a';
    return index < secretPartStarts.size() && letter < 26 && (secretPartStarts[index] >> letter & 1u);
}

}  // namespace

bool isSecretKey(std::string_view key) {
    for (std::size_t at = 0; at + 3 <= key.size(); ++at) {
        if (!secretPartFirsts[static_cast<unsigned char>(key[at])]) continue;
        const char first = lower(key[at]);
        if (!startsSecretPart(first, lower(key[at + 1]))) continue;
        for (std::string_view part : secretParts)
            if (part[0] == first && key.size() - at >= part.size() &&
                std::equal(part.begin(), part.end(), key.begin() + static_cast<std::ptrdiff_t>(at),
                           [](char a, char b) { return a == lower(b); }))
                return true;
    }
    return false;
}

TextMasker::TextMasker(AliasMap& aliases) : aliases_(aliases) {
    teachingCharacters_['\\'] = teachingCharacters_['/'] = true;
}

void TextMasker::addName(Kind kind, std::string_view name) {
    std::string lowerName = lowered(name);
    std::size_t firstEnd = 0;
    while (firstEnd < lowerName.size() && isWordAt(lowerName, firstEnd)) ++firstEnd;
    // A name is found at the start of a word; one that starts otherwise is never met as a word.
    if (firstEnd == 0) return;
    if (kind == Kind::host) {
        // Hosts steer much of what is learned and masked: none may come after text.
        if (seen_ && !seen_->empty() && !hosts_.count(lowerName)) throw LateLesson();
        hosts_.insert(lowerName);
        teachingCharacters_[static_cast<unsigned char>(lowerName[0])] = true;
        teachingCharacters_[static_cast<unsigned char>(upper(lowerName[0]))] = true;
    }
    if (knows(lowerName)) return;
    if (seen_ && seen_->mayHoldWord(std::string_view(lowerName).substr(0, firstEnd))) throw LateLesson();
    for (FirstWordLookup& lookup : firstWordLookups_) lookup.word.clear();
    firstWordLengths_ |= std::uint64_t{1} << std::min<std::size_t>(firstEnd, 63);
    std::vector<Name>& names = namesByFirstWord_[lowerName.substr(0, firstEnd)];
    firstCharacters_[static_cast<unsigned char>(lowerName[0])] = true;
    names.push_back({std::move(lowerName), kind});
    // The longest name that fits wins.
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return a.lower.size() > b.lower.size(); });
}

bool TextMasker::knows(std::string_view lowerName) const {
    std::size_t firstEnd = 0;
    while (firstEnd < lowerName.size() && isWordAt(lowerName, firstEnd)) ++firstEnd;
    const auto found = namesByFirstWord_.find(lowerName.substr(0, firstEnd));
    return found != namesByFirstWord_.end() && std::any_of(found->second.begin(), found->second.end(),
                                                           [&](const Name& known) { return known.lower == lowerName; });
}

void TextMasker::addDomain(std::string_view domain) {
    std::string lowerDomain = lowered(domain);
    while (!lowerDomain.empty() && lowerDomain.back() == '.') lowerDomain.pop_back();
    if (lowerDomain.empty() || isWellKnownDomain(lowerDomain)) return;
    // Without a host or domain, dotted names in text were passed over unread.
    if (seen_ && !domains_.count(lowerDomain) &&
        (seen_->mayHoldDottedName(lowerDomain) || (hosts_.empty() && domains_.empty() && !seen_->empty())))
        throw LateLesson();
    lastDottedName_.clear();
    domains_.insert(std::move(lowerDomain));
}

void TextMasker::addGivenDomain(std::string_view domain) {
    addDomain(domain);
    if (domain.find('.') == std::string_view::npos && !isWellKnownDomain(lowered(domain))) addName(Kind::netbios, domain);
}

void TextMasker::addAccount(std::string_view account) {
    const std::size_t backslash = account.find('\\');
    const std::size_t at = account.rfind('@');
    std::string_view name = account, domain;
    if (backslash != std::string_view::npos) {
        domain = account.substr(0, backslash);
        name = account.substr(backslash + 1);
    } else if (at != std::string_view::npos) {
        name = account.substr(0, at);
        domain = account.substr(at + 1);
    }
    const std::string lowerDomain = lowered(domain);
    if (!domain.empty() && !isWellKnownDomain(lowerDomain) && !hosts_.count(lowerDomain)) {
        if (domain.find('.') != std::string_view::npos) addDomain(domain);
        else addName(Kind::netbios, domain);
    }
    if (!isWellKnownAccount(name)) addName(Kind::user, name);
}

std::string TextMasker::masked(std::string_view text, bool addresses) {
    std::string out;
    maskText(text, out, addresses);
    return out;
}

void TextMasker::maskText(std::string_view text, std::string& out, bool addresses) {
    startText();
    eachLine(text, [&](std::string_view line, bool more) {
        if (maskLine(line, out, addresses) && more) out += '\n';
    });
    startText();
}

void TextMasker::learnText(std::string_view text) {
    startText();
    eachLine(text, [&](std::string_view line, bool) { learnLine(line); });
    startText();
}

// A private key goes as a whole: its first line becomes the masking, the rest up to its end is dropped.
bool TextMasker::maskLine(std::string_view line, std::string& out, bool addresses) {
    const std::optional<KeyCut> cut = cutPrivateKey(line);
    if (cut) maskCut(*cut, out, addresses);
    return cut.has_value();
}

void TextMasker::learnLine(std::string_view line) {
    if (const std::optional<KeyCut> cut = cutPrivateKey(line)) learnCut(*cut);
}

bool TextMasker::learnAndMaskLine(std::string_view line, std::string& out) {
    const std::optional<KeyCut> cut = cutPrivateKey(line);
    if (!cut) return false;
    learnCut(*cut);
    maskCut(*cut, out, true);
    return true;
}

void TextMasker::maskCut(const KeyCut& cut, std::string& out, bool addresses) {
    scan(cut.before, out, addresses);
    if (!cut.key) return;
    out += masking;
    scan(cut.after, out, addresses);
}

void TextMasker::learnCut(const KeyCut& cut) {
    learnFrom(cut.before);
    learnFrom(cut.after);
}

std::optional<TextMasker::KeyCut> TextMasker::cutPrivateKey(std::string_view line) {
    constexpr std::string_view keyEnd = "PRIVATE KEY-----";
    constexpr auto none = std::string_view::npos;
    if (inPrivateKey_) {
        const std::size_t end = line.find("-----END ");
        if (end != none && line.find(keyEnd, end) != none) inPrivateKey_ = false;
        return std::nullopt;
    }
    const std::size_t begin = line.find("-----BEGIN ");
    const std::size_t beginEnd = begin == none ? begin : line.find(keyEnd, begin);
    if (beginEnd == none) return KeyCut{line, {}, false};
    KeyCut cut{line.substr(0, begin), {}, true};
    const std::size_t end = line.find("-----END ", beginEnd);
    const std::size_t endEnd = end == none ? end : line.find(keyEnd, end);
    if (endEnd == none) inPrivateKey_ = true;
    else cut.after = line.substr(endEnd + keyEnd.size());
    return cut;
}

// Text that holds nothing to mask is written in one piece, up to where masking starts.
void TextMasker::scan(std::string_view line, std::string& out, bool addresses) {
    std::size_t written = 0, at = 0;
    while (at < line.size()) {
        if (!isWordAt(line, at)) {
            const char c = line[at];
            const std::size_t valueEnd = c == '=' || c == ':' || c == '>' ? secretValue(line, at) : 0;
            if (valueEnd == 0) {
                ++at;
                continue;
            }
            // The separator and any blanks and quote before the value stay.
            std::size_t valueStart = at + 1;
            while (valueStart < valueEnd && (line[valueStart] == ' ' || line[valueStart] == '\t' ||
                                             line[valueStart] == '"' || line[valueStart] == '\''))
                ++valueStart;
            out.append(line.substr(written, valueStart - written));
            out += masking;
            at = written = valueEnd;
            continue;
        }
        std::size_t wordEnd = at;
        while (wordEnd < line.size() && isWordAt(line, wordEnd)) ++wordEnd;
        if (seen_) seen_->addWord(line, at, wordEnd);
        if (!mayMask(line, at, wordEnd, addresses)) {
            at = wordEnd;
            continue;
        }
        out.append(line.substr(written, at - written));
        at = written = maskWord(line, at, wordEnd, out, addresses);
    }
    out.append(line.substr(written));
}

// Whether maskWord could do more than write the word: most words are no
// address, no dotted name, no profile folder and start no known name.
bool TextMasker::mayMask(std::string_view line, std::size_t at, std::size_t wordEnd, bool addresses) const {
    const char next = wordEnd < line.size() ? line[wordEnd] : '\0';
    const bool joined = next == '.' || next == '-';
    if (addresses && (joined || next == ':') && hexValue(line[at]) >= 0) return true;
    if (joined && !(domains_.empty() && hosts_.empty())) return true;
    if (firstCharacters_[static_cast<unsigned char>(lower(line[at]))]) return true;
    const std::size_t length = wordEnd - at;
    return (length == 4 || length == 5) && at > 0 && (line[at - 1] == '\\' || line[at - 1] == '/') &&
           next == line[at - 1];
}

// Where the secret value after the separator ends, or 0 when the key before it
// is no secret's: KEY=VALUE, KEY: VALUE, "KEY": "VALUE", <KEY>VALUE</KEY>.
std::size_t TextMasker::secretValue(std::string_view line, std::size_t separator) const {
    const char c = line[separator];
    std::size_t keyEnd = separator;
    if (c != '>') {
        while (keyEnd > 0 && (line[keyEnd - 1] == ' ' || line[keyEnd - 1] == '\t')) --keyEnd;
        if (keyEnd > 0 && (line[keyEnd - 1] == '"' || line[keyEnd - 1] == '\'')) --keyEnd;
    }
    std::size_t keyStart = keyEnd;
    while (keyStart > 0 && keyEnd - keyStart < 64 && isKeyCharacter(line[keyStart - 1])) --keyStart;
    if (keyStart == keyEnd) return 0;
    if (c == '>' && (keyStart == 0 || line[keyStart - 1] != '<')) return 0;
    // Not a URL's scheme, a scope operator or a comparison.
    if (c != '>' && separator + 1 < line.size() && (line[separator + 1] == '/' || line[separator + 1] == c)) return 0;
    if (!isSecretKey(line.substr(keyStart, keyEnd - keyStart))) return 0;
    std::size_t value = separator + 1;
    while (value < line.size() && (line[value] == ' ' || line[value] == '\t')) ++value;
    if (value == line.size()) return 0;
    if (c == '>') return std::min(line.find('<', value), line.size());
    const char quote = line[value];
    if (quote == '"' || quote == '\'') return std::min(line.find(quote, value + 1), line.size());
    return std::min(line.find_first_of(";&<", value), line.size());
}

std::size_t TextMasker::maskWord(std::string_view line, std::size_t at, std::size_t wordEnd, std::string& out,
                                 bool addresses) {
    const char next = wordEnd < line.size() ? line[wordEnd] : '\0';
    std::size_t end = 0;
    if (addresses && isDigit(line[at]) && next == '.') end = maskIpv4(line, at, out);
    // A MAC's first group is a word of two hex digits before ':' or '-', or of four before '.'.
    const std::size_t length = wordEnd - at;
    if (!end && addresses && hexValue(line[at]) >= 0 &&
        ((length == 2 && (next == ':' || next == '-')) || (length == 4 && next == '.')))
        end = maskMac(line, at, out);
    if (!end && addresses && hexValue(line[at]) >= 0 && next == ':') end = maskIpv6(line, at, out);
    if (!end && (next == '.' || next == '-') && !(domains_.empty() && hosts_.empty())) end = maskDottedName(line, at, out);
    if (end) return end;
    learnProfile(line, at, wordEnd);
    return maskName(line, at, wordEnd, out);
}

// The known name that starts at the word, the longest that fits; nothing when none does.
const TextMasker::Name* TextMasker::nameAt(std::string_view line, std::size_t at, std::size_t wordEnd) {
    if (!firstCharacters_[static_cast<unsigned char>(lower(line[at]))] ||
        !(firstWordLengths_ >> std::min<std::size_t>(wordEnd - at, 63) & 1u))
        return nullptr;
    const std::string_view word = line.substr(at, wordEnd - at);
    FirstWordLookup& lookup =
        firstWordLookups_[(static_cast<unsigned char>(lower(word[0])) + word.size()) % firstWordLookups_.size()];
    if (!equalsLowered(word, lookup.word)) {
        word_.assign(word);
        for (char& c : word_) c = lower(c);
        const auto found = namesByFirstWord_.find(word_);
        lookup.names = found == namesByFirstWord_.end() ? nullptr : &found->second;
        lookup.word = word_;
    }
    if (!lookup.names) return nullptr;
    for (const Name& name : *lookup.names) {
        const std::size_t end = at + name.lower.size();
        if (end > line.size() || (end < line.size() && isWordAt(line, end))) continue;
        if (std::equal(name.lower.begin(), name.lower.end(), line.begin() + static_cast<std::ptrdiff_t>(at),
                       [](char a, char b) { return a == lower(b); }))
            return &name;
    }
    return nullptr;
}

std::size_t TextMasker::maskName(std::string_view line, std::size_t at, std::size_t wordEnd, std::string& out) {
    const Name* name = nameAt(line, at, wordEnd);
    if (!name) {
        out.append(line.substr(at, wordEnd - at));
        return wordEnd;
    }
    const std::size_t end = at + name->lower.size();
    // Taken before a domain is learned: learning may add a name beside this one.
    const std::string& alias = aliases_.alias(name->kind, name->lower);
    const std::string_view domain = name->kind == Kind::user ? learnDomainBefore(line, at) : std::string_view();
    // Met only now (the account was learned after the first pass went by), the
    // domain stands unmasked at the end of what was written: it is masked there too.
    if (!domain.empty() && out.ends_with(std::string_view(domain.data(), domain.size() + 1))) {
        out.resize(out.size() - domain.size() - 1);
        appendInCaseOf(out, domain, aliases_.alias(Kind::netbios, lowered(domain)));
        out += '\\';
    }
    appendInCaseOf(out, line.substr(at, end - at), alias);
    return end;
}

bool TextMasker::dottedName(std::string_view line, std::size_t at, DottedName& name) {
    name.starts[0] = at;
    name.labels = 1;
    std::size_t end = at;
    for (;;) {
        while (end < line.size() && isLabelCharacter(line[end])) ++end;
        if (name.labels < DottedName::mostLabels && end + 1 < line.size() && line[end] == '.' &&
            isLabelCharacter(line[end + 1])) {
            name.starts[name.labels++] = ++end;
            continue;
        }
        break;
    }
    if (name.labels < 2 || (end < line.size() && isWordAt(line, end))) return false;
    name.end = end;
    word_.assign(line.substr(at, end - at));
    for (char& c : word_) c = lower(c);
    return true;
}

// The first label from which on the name is a known domain, or noLabel.
std::size_t TextMasker::knownDomainLabel(const DottedName& name) {
    if (word_ == lastDottedName_) return lastDomainLabel_;
    lastDottedName_ = word_;
    lastDomainLabel_ = noLabel;
    for (std::size_t label = 0; label < name.labels && lastDomainLabel_ == noLabel; ++label)
        if (domains_.count(std::string_view(word_).substr(name.starts[label] - name.starts[0]))) lastDomainLabel_ = label;
    return lastDomainLabel_;
}

// The host's own name with a domain after it teaches that domain.
bool TextMasker::learnHostDomain(const DottedName& name) {
    const std::size_t hostEnd = name.starts[1] - name.starts[0] - 1;
    if (name.labels < 3 || !hosts_.count(std::string_view(word_).substr(0, hostEnd))) return false;
    addDomain(std::string_view(word_).substr(hostEnd + 1));
    return true;
}

// host.example.com: a known domain at its end makes the name a host below it.
std::size_t TextMasker::maskDottedName(std::string_view line, std::size_t at, std::string& out) {
    DottedName name;
    if (!dottedName(line, at, name)) return 0;
    std::size_t label = knownDomainLabel(name);
    if (label == noLabel && learnHostDomain(name)) label = knownDomainLabel(name);
    if (seen_) seen_->addDottedName(word_, name.starts, name.labels);
    if (label == noLabel) return 0;
    const std::size_t domainStart = name.starts[label];
    if (label > 0) {
        const std::size_t hostEnd = domainStart - 1;
        appendInCaseOf(out, line.substr(at, hostEnd - at),
                       aliases_.alias(Kind::host, std::string_view(word_).substr(0, hostEnd - at)));
        out += '.';
    }
    appendInCaseOf(out, line.substr(domainStart, name.end - domainStart),
                   aliases_.alias(Kind::domain, std::string_view(word_).substr(domainStart - at)));
    return name.end;
}

// a.b.c.d, not inside a longer dotted number (a version); loopback, "this
// network", multicast and masks stay. The host part is kept, the /24 masked.
std::size_t TextMasker::maskIpv4(std::string_view line, std::size_t at, std::string& out) {
    if (at > 0 && line[at - 1] == '.') return 0;
    unsigned octets[4] = {};
    std::size_t position = at;
    for (int index = 0; index < 4; ++index) {
        if (index > 0) {
            if (position >= line.size() || line[position] != '.') return 0;
            ++position;
        }
        std::size_t digits = 0;
        while (position < line.size() && isDigit(line[position]) && digits < 4) {
            octets[index] = octets[index] * 10 + static_cast<unsigned>(line[position++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || octets[index] > 255) return 0;
    }
    if (position < line.size() && (isWordAt(line, position) ||
                                   (line[position] == '.' && position + 1 < line.size() && isDigit(line[position + 1]))))
        return 0;
    if (octets[0] == 0 || octets[0] == 127 || octets[0] >= 224) {
        out.append(line.substr(at, position - at));
        return position;
    }
    const auto appendNumber = [](std::string& text, unsigned number) {
        if (number >= 100) text += static_cast<char>('0' + number / 100);
        if (number >= 10) text += static_cast<char>('0' + number / 10 % 10);
        text += static_cast<char>('0' + number % 10);
    };
    network_.clear();
    for (int index = 0; index < 3; ++index) {
        if (index) network_ += '.';
        appendNumber(network_, octets[index]);
    }
    out += aliases_.alias(Kind::network, network_);
    out += '.';
    appendNumber(out, octets[3]);
    return position;
}

// aa:bb:cc:dd:ee:ff, aa-bb-..., aabb.ccdd.eeff, written again in the same form and case.
std::size_t TextMasker::maskMac(std::string_view line, std::size_t at, std::string& out) {
    const bool dotted = line[at + 1] != ':' && line[at + 1] != '-' && at + 4 < line.size() && line[at + 4] == '.';
    const std::size_t groups = dotted ? 3 : 6, digits = dotted ? 4 : 2;
    const char separator = dotted ? '.' : line[at + 2 < line.size() ? at + 2 : at];
    if (!dotted && separator != ':' && separator != '-') return 0;
    // Times and dates fail at a separator: looked at before any digit is read.
    for (std::size_t group = 1; group < groups; ++group) {
        const std::size_t position = at + group * (digits + 1) - 1;
        if (position >= line.size() || line[position] != separator) return 0;
    }
    std::string hex;
    std::size_t position = at;
    for (std::size_t group = 0; group < groups; ++group) {
        if (group > 0) {
            if (position >= line.size() || line[position] != separator) return 0;
            ++position;
        }
        for (std::size_t digit = 0; digit < digits; ++digit, ++position)
            if (position >= line.size() || hexValue(line[position]) < 0) return 0;
            else hex += lower(line[position]);
    }
    if (position < line.size() && (isWordAt(line, position) || (line[position] == separator && position + 1 < line.size() &&
                                                               hexValue(line[position + 1]) >= 0)))
        return 0;
    const std::string_view original = line.substr(at, position - at);
    if (hex == "000000000000" || hex == "ffffffffffff") {
        out.append(original);
        return position;
    }
    std::string canonical;
    for (std::size_t i = 0; i < 12; i += 2) {
        if (i) canonical += ':';
        canonical.append(hex, i, 2);
    }
    std::string alias = aliases_.alias(Kind::mac, canonical);
    std::erase(alias, ':');
    std::string written;
    for (std::size_t i = 0; i < 12; ++i) {
        if (i > 0 && i % digits == 0) written += separator;
        written += alias[i];
    }
    appendInCaseOf(out, original, written);
    return position;
}

// Eight groups, or fewer with one "::"; the /64 masked, the interface part kept.
std::size_t TextMasker::maskIpv6(std::string_view line, std::size_t at, std::string& out) {
    unsigned groups[9] = {};
    std::size_t count = 0, gap = SIZE_MAX, position = at;
    for (;;) {
        unsigned value = 0;
        std::size_t digits = 0;
        while (position < line.size() && hexValue(line[position]) >= 0 && digits < 5) {
            value = value * 16 + static_cast<unsigned>(hexValue(line[position++]));
            ++digits;
        }
        if (digits == 0 || digits > 4 || count == 8 || (position < line.size() && isWordAt(line, position))) return 0;
        groups[count++] = value;
        if (position + 1 < line.size() && line[position] == ':' && line[position + 1] == ':') {
            if (gap != SIZE_MAX) return 0;
            gap = count;
            position += 2;
            if (position < line.size() && hexValue(line[position]) >= 0) continue;
            break;
        }
        if (position + 1 < line.size() && line[position] == ':' && hexValue(line[position + 1]) >= 0) {
            ++position;
            continue;
        }
        break;
    }
    if ((gap == SIZE_MAX && count != 8) || count < 2 || (position < line.size() && line[position] == '.')) return 0;
    unsigned full[8] = {};
    const std::size_t head = std::min(gap, count);
    std::copy(groups, groups + head, full);
    std::copy(groups + head, groups + count, full + 8 - (count - head));
    std::string network;
    for (int i = 0; i < 4; ++i) {
        if (i) network += ':';
        network += hexText(full[i]);
    }
    out += aliases_.alias(Kind::network6, network);
    for (int i = 4; i < 8; ++i) {
        out += ':';
        out += hexText(full[i]);
    }
    return position;
}

// DOMAIN\ACCOUNT in free text, not inside a path: DOMAIN is a NetBIOS domain.
// The domain when it is new, else nothing.
std::string_view TextMasker::learnDomainBefore(std::string_view line, std::size_t account) {
    if (account < 2 || line[account - 1] != '\\') return {};
    std::size_t start = account - 1;
    while (start > 0 && (isWordAt(line, start - 1) || line[start - 1] == '-' || line[start - 1] == '_')) --start;
    if (start == account - 1 || (start > 0 && (line[start - 1] == '\\' || line[start - 1] == '/' || line[start - 1] == ':')))
        return {};
    const std::string_view domain = line.substr(start, account - 1 - start);
    if (equalsLowered(domain, untaughtDomain_)) return {};
    std::string lowerDomain = lowered(domain);
    if (knows(lowerDomain) || hosts_.count(lowerDomain) || isWellKnownDomain(lowerDomain) ||
        isWellKnownAccount(domain)) {
        untaughtDomain_ = std::move(lowerDomain);
        return {};
    }
    addName(Kind::netbios, domain);
    return domain;
}

// Looks only where a lesson can start: at a path separator before a word, and
// at the first character of a host's name starting a word.
void TextMasker::learnFrom(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (!teachingCharacters_[static_cast<unsigned char>(c)]) continue;
        if (c == '\\' || c == '/') {
            learnAfterSeparator(line, at + 1);
        } else if (at == 0 || !isWordAt(line, at - 1)) {
            DottedName name;
            if (dottedName(line, at, name) && knownDomainLabel(name) == noLabel) learnHostDomain(name);
        }
    }
}

void TextMasker::learnAfterSeparator(std::string_view line, std::size_t word) {
    std::size_t wordEnd = word;
    while (wordEnd < line.size() && isWordAt(line, wordEnd)) ++wordEnd;
    if (wordEnd == word) return;
    learnProfile(line, word, wordEnd);
    const Name* name = line[word - 1] == '\\' ? nameAt(line, word, wordEnd) : nullptr;
    if (name && name->kind == Kind::user) learnDomainBefore(line, word);
}

// C:\Users\NAME\ and /home/NAME/: NAME is an account.
void TextMasker::learnProfile(std::string_view line, std::size_t wordStart, std::size_t wordEnd) {
    if (wordEnd - wordStart != 4 && wordEnd - wordStart != 5) return;
    if (wordStart == 0 || wordEnd + 1 >= line.size()) return;
    const char before = line[wordStart - 1], after = line[wordEnd];
    // Most words stand between no separators: passed before they are read.
    if (after != before || (before != '\\' && before != '/')) return;
    const std::string_view word = line.substr(wordStart, wordEnd - wordStart);
    const bool windows = equalsLowered(word, "users") && (before == '\\' || (wordStart >= 2 && line[wordStart - 2] == ':'));
    const bool linux = equalsLowered(word, "home") && before == '/';
    if (!windows && !linux) return;
    const std::size_t nameEnd = std::min(line.find_first_of(windows ? "\\/\"<>|:*?\t" : "/\"<>|:\t ", wordEnd + 1), line.size());
    const std::string_view name = line.substr(wordEnd + 1, nameEnd - wordEnd - 1);
    const std::string lowerName = lowered(name);
    if (name.empty() || name == "." || name == ".." || isCommonProfile(lowerName) || isWellKnownAccount(name) ||
        hosts_.count(lowerName))
        return;
    addName(Kind::user, name);
}

}  // namespace clean
