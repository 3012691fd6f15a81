#include "report-tool/Entries.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace reporttool {
namespace {

constexpr std::size_t blockSize = 1u << 20;
constexpr std::size_t pieceSize = 1u << 18;
constexpr std::size_t waitingPieces = 16;

char* copied(char* to, std::string_view text) {
    if (!text.empty()) std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

void appendSize(std::string& piece, std::size_t size) {
    const auto value = static_cast<std::uint32_t>(size);
    piece.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::uint32_t sizeAt(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

std::uint64_t keyHash(std::string_view key) { return std::hash<std::string_view>{}(key); }

void EntryStore::add(std::string_view key, std::string_view value, std::uint64_t hash) {
    entries_.push_back({keep(key, value).data(), static_cast<std::uint32_t>(key.size()),
                        static_cast<std::uint32_t>(value.size()), hash});
}

void EntryStore::rekey(std::size_t entry, std::string_view key, std::uint64_t hash) {
    Entry& renamed = entries_[entry];
    renamed = {keep(key, renamed.value()).data(), static_cast<std::uint32_t>(key.size()), renamed.valueSize, hash};
}

void EntryStore::indexNext() {
    reserve(indexed_ + 1);
    index(indexed_++);
}

// At most half the slots taken keeps the probes short.
void EntryStore::reserve(std::size_t count) {
    if (count * 2 <= slots_.size()) return;
    std::size_t size = 1024;
    while (size < count * 2) size *= 2;
    slots_.assign(size, 0);
    for (std::size_t entry = 0; entry < indexed_; ++entry) index(entry);
}

void EntryStore::index(std::size_t entry) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = entries_[entry].hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(entry + 1);
}

std::size_t EntryStore::find(std::string_view key, std::uint64_t hash) const {
    if (slots_.empty()) return none;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
        if (entries_[slots_[slot] - 1].hasKey(key, hash)) return slots_[slot] - 1;
    }
    return none;
}

std::string_view EntryStore::keep(std::string_view first, std::string_view second) {
    const std::size_t size = first.size() + second.size();
    if (size > freeSize_) {
        freeSize_ = std::max(size, blockSize);
        blocks_.emplace_back(new char[freeSize_]);
        free_ = blocks_.back().get();
    }
    char* const text = free_;
    free_ = copied(copied(text, first), second);
    freeSize_ -= size;
    return {text, size};
}

void EntryQueue::add(std::string_view key, std::string_view value) {
    appendSize(filling_, key.size());
    appendSize(filling_, value.size());
    filling_.append(key).append(value);
    if (filling_.size() >= pieceSize) handPiece();
}

void EntryQueue::end() {
    if (!filling_.empty()) handPiece();
    const std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

void EntryQueue::fail(std::exception_ptr failure) {
    const std::lock_guard<std::mutex> lock(mutex_);
    failure_ = failure;
    changed_.notify_all();
}

void EntryQueue::abandon() {
    const std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
}

void EntryQueue::handPiece() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < waitingPieces || abandoned_; });
    if (abandoned_) throw Abandoned{};
    waiting_.push_back(std::move(filling_));
    filling_.clear();
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
}

void EntryQueue::drainInto(EntrySink& sink) {
    std::string piece;
    while (take(piece)) {
        for (const char* at = piece.data(); at < piece.data() + piece.size();) {
            const std::uint32_t keySize = sizeAt(at), valueSize = sizeAt(at + 4);
            at += 8;
            sink.add({at, keySize}, {at + keySize, valueSize});
            at += keySize + valueSize;
        }
    }
    sink.end();
}

// The next piece in place of the one read, which is used again; false at the end.
bool EntryQueue::take(std::string& piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (piece.capacity() > 0) {
        piece.clear();
        spare_.push_back(std::move(piece));
    }
    changed_.wait(lock, [&] { return !waiting_.empty() || ended_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    if (waiting_.empty()) return false;
    piece = std::move(waiting_.front());
    waiting_.pop_front();
    changed_.notify_all();
    return true;
}

}  // namespace reporttool
