#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace clean {

// The words and dotted names of the text masked so far, in any case, kept as a
// set that may err only by holding too much: what it does not hold was never
// met. A bit array of hashes (512 KiB whatever the text's size); the last
// hashes are remembered, so the words a text repeats line after line cost no
// memory access. Words that start with a digit (numbers, times) are left out.
class SeenWords {
public:
    SeenWords();

    // The word that stands at AT..END of the text: the text around it lets its bytes be read 8 at a time.
    void addWord(std::string_view text, std::size_t at, std::size_t end) {
        empty_ = false;
        if (!startsWithDigit(text[at])) add(hash(text, at, end));
    }
    // A dotted name in lower case, and every part of it from a label on.
    void addDottedName(std::string_view lowerName, const std::size_t* labelStarts, std::size_t labels);

    // Whether the word (not empty; or any word starting with a digit) may have been met.
    bool mayHoldWord(std::string_view word) const;
    // Whether the dotted name may have been met, whole or as the end of a longer one.
    bool mayHoldDottedName(std::string_view lowerName) const {
        return mayHold(hash(lowerName, 0, lowerName.size()));
    }
    bool empty() const { return empty_; }

private:
    static bool startsWithDigit(char c) { return c >= '0' && c <= '9'; }
    static std::uint64_t hash(std::string_view text, std::size_t at, std::size_t end);
    void add(std::uint64_t hash) {
        std::uint64_t& recent = recent_[static_cast<std::size_t>(hash >> 56)];
        if (recent != hash) addNew(hash);
        recent = hash;
    }
    void addNew(std::uint64_t hash);
    bool mayHold(std::uint64_t hash) const;

    std::vector<std::uint64_t> bits_;
    std::array<std::uint64_t, 256> recent_{};
    std::string lastDottedName_;
    bool empty_ = true;
};

}  // namespace clean
