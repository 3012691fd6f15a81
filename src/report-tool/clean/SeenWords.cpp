#include "report-tool/clean/SeenWords.h"

#include <cstring>

namespace clean {
namespace {

constexpr unsigned bitCount = 22;
constexpr std::uint64_t bitMask = (std::uint64_t{1} << bitCount) - 1;
constexpr std::uint64_t caseBits = 0x2020202020202020u;

std::uint64_t eightBytes(const char* bytes) {
    std::uint64_t value;
    std::memcpy(&value, bytes, 8);
    return value;
}

// The COUNT (1 to 8) bytes at AT, read 8 at a time where the text allows.
std::uint64_t bytesAt(std::string_view text, std::size_t at, std::size_t count) {
    if (at + 8 <= text.size()) return eightBytes(text.data() + at) & (~std::uint64_t{0} >> (64 - 8 * count));
    if (at + count >= 8) return eightBytes(text.data() + at + count - 8) >> (64 - 8 * count);
    std::uint64_t value = 0;
    std::memcpy(&value, text.data() + at, count);
    return value;
}

}  // namespace

SeenWords::SeenWords() : bits_(std::size_t{1} << (bitCount - 6)) {}

// Of the first and last 8 bytes, each with its case bit set (a word is the same
// in any case), and the length: what a longer text has between them only makes
// more texts look alike, which errs on the side of holding too much.
std::uint64_t SeenWords::hash(std::string_view text, std::size_t at, std::size_t end) {
    const std::size_t length = end - at, head = length < 8 ? length : 8;
    std::uint64_t h = (bytesAt(text, at, head) | (caseBits >> (64 - 8 * head))) * 0x9E3779B97F4A7C15u;
    if (length > 8) h ^= (eightBytes(text.data() + end - 8) | caseBits) * 0xC2B2AE3D27D4EB4Fu;
    h ^= length;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9u;
    return h ^ (h >> 32);
}

void SeenWords::addNew(std::uint64_t hash) {
    bits_[(hash & bitMask) >> 6] |= std::uint64_t{1} << (hash & 63);
    bits_[(hash >> bitCount & bitMask) >> 6] |= std::uint64_t{1} << (hash >> bitCount & 63);
}

bool SeenWords::mayHold(std::uint64_t hash) const {
    return (bits_[(hash & bitMask) >> 6] >> (hash & 63) & 1u) &&
           (bits_[(hash >> bitCount & bitMask) >> 6] >> (hash >> bitCount & 63) & 1u);
}

bool SeenWords::mayHoldWord(std::string_view word) const {
    return startsWithDigit(word[0]) || mayHold(hash(word, 0, word.size()));
}

void SeenWords::addDottedName(std::string_view lowerName, const std::size_t* labelStarts, std::size_t labels) {
    if (lowerName == lastDottedName_) return;
    lastDottedName_ = lowerName;
    empty_ = false;
    for (std::size_t label = 0; label < labels; ++label) add(hash(lowerName, labelStarts[label] - labelStarts[0], lowerName.size()));
}

}  // namespace clean
