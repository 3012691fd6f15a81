#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace reporttool {

// Receives a report's entries in report order: a key (section, element and what
// the element describes, separated by '\x1f') and its value.
class EntrySink {
public:
    virtual ~EntrySink() = default;
    virtual void add(std::string_view key, std::string_view value) = 0;
    // The report ended whole.
    virtual void end() {}
};

std::uint64_t keyHash(std::string_view key);

// Keys and values side by side in blocks of text, with an index by key: per
// entry its texts, 24 bytes and two to four index slots of 4 bytes. Nothing is
// allocated per entry, and nothing kept ever moves.
class EntryStore {
public:
    struct Entry {
        const char* text;  // the key, then the value
        std::uint32_t keySize, valueSize;
        std::uint64_t hash;  // of the key
        std::string_view key() const { return {text, keySize}; }
        std::string_view value() const { return {text + keySize, valueSize}; }
        bool hasKey(std::string_view other, std::uint64_t otherHash) const { return hash == otherHash && key() == other; }
    };
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    // In the order kept; in pieces, so that growing never copies them.
    const std::deque<Entry>& entries() const { return entries_; }
    // Kept; found once indexed.
    void add(std::string_view key, std::string_view value, std::uint64_t hash);
    // Gives an entry not yet indexed another key.
    void rekey(std::size_t entry, std::string_view key, std::uint64_t hash);
    // Indexes the next entry kept; the index grows as needed.
    void indexNext();
    // Sizes the index for so many entries at once.
    void reserve(std::size_t count);
    // The number of the indexed entry under the key, or none.
    std::size_t find(std::string_view key, std::uint64_t hash) const;
    std::size_t find(const Entry& other) const { return find(other.key(), other.hash); }
    // A text as long-lived as the store.
    std::string_view keep(std::string_view first, std::string_view second = {});

private:
    void index(std::size_t entry);

    std::deque<Entry> entries_;
    std::size_t indexed_ = 0;
    std::vector<std::uint32_t> slots_;  // entry number + 1 by the key's hash; 0 is free
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;  // the rest of the last block
    std::size_t freeSize_ = 0;
};

// Entries handed from the thread that reads a report to the one that compares,
// as packed text in pieces. At most a few pieces wait and read pieces are used
// again, so memory stays bounded whatever the report's size.
class EntryQueue final : public EntrySink {
public:
    // Thrown to the reading thread once nothing more is taken.
    struct Abandoned {};

    // The reading thread's side; add and end wait while the queue is full.
    void add(std::string_view key, std::string_view value) override;
    void end() override;
    void fail(std::exception_ptr failure);

    // The comparing thread's side: every entry to the sink, in order, and its
    // end; throws the reading thread's failure.
    void drainInto(EntrySink& sink);
    // Nothing more is taken: a reading thread that waits or adds throws Abandoned.
    void abandon();

private:
    void handPiece();
    bool take(std::string& piece);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> waiting_;
    std::vector<std::string> spare_;
    std::string filling_;
    bool ended_ = false, abandoned_ = false;
    std::exception_ptr failure_;
};

}  // namespace reporttool
