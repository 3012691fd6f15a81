#include "report-tool/clean/SeenWords.h"

#include <cstring>

namespace clean {
namespace {

constexpr unsigned bitCount = 22;
constexpr std::uint64_t bitMask = (std::uint64_t{1} << bitCount) - 1;

bool startsWithDigit(std::string_view word) { return word.empty() || (word[0] >= '0' && word[0] <= '9'); }

// Up to 8 bytes of the text, each with its case bit set: a word is the same in any case.
std::uint64_t foldedBytes(const char* bytes, std::size_t count) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, count < 8 ? count : 8);
    const std::uint64_t caseBits = 0x2020202020202020u;
    return value | (count < 8 ? caseBits >> (64 - 8 * count) : caseBits);
}

}  // namespace

SeenWords::SeenWords() : bits_(std::size_t{1} << (bitCount - 6)) {}

// The first and last 8 bytes and the length: what a longer text has between them
// only makes more texts look alike, which errs on the side of holding too much.
std::uint64_t SeenWords::hash(std::string_view text) {
    std::uint64_t h = foldedBytes(text.data(), text.size()) * 0x9E3779B97F4A7C15u;
    if (text.size() > 8) h ^= foldedBytes(text.data() + text.size() - 8, 8) * 0xC2B2AE3D27D4EB4Fu;
    h ^= text.size();
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9u;
    return h ^ (h >> 32);
}

void SeenWords::add(std::uint64_t hash) {
    empty_ = false;
    std::uint64_t& recent = recent_[hash >> 56];
    if (recent == hash) return;
    recent = hash;
    bits_[(hash & bitMask) >> 6] |= std::uint64_t{1} << (hash & 63);
    bits_[(hash >> bitCount & bitMask) >> 6] |= std::uint64_t{1} << (hash >> bitCount & 63);
}

bool SeenWords::mayHold(std::uint64_t hash) const {
    return (bits_[(hash & bitMask) >> 6] >> (hash & 63) & 1u) &&
           (bits_[(hash >> bitCount & bitMask) >> 6] >> (hash >> bitCount & 63) & 1u);
}

void SeenWords::addWord(std::string_view word) {
    empty_ = false;
    if (!startsWithDigit(word)) add(hash(word));
}

bool SeenWords::mayHoldWord(std::string_view word) const { return startsWithDigit(word) || mayHold(hash(word)); }

void SeenWords::addDottedName(std::string_view lowerName, const std::size_t* labelStarts, std::size_t labels) {
    if (lowerName == lastDottedName_) return;
    lastDottedName_ = lowerName;
    for (std::size_t label = 0; label < labels; ++label) add(hash(lowerName.substr(labelStarts[label] - labelStarts[0])));
}

}  // namespace clean
