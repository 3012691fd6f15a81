#pragma once
#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

// A bounded first-in-first-out queue of bytes in one block, taken once: bytes
// pass through it without an allocation of their own.
class ByteQueue {
public:
    // The capacity is at least one byte.
    explicit ByteQueue(std::size_t capacity) : ring_(capacity) {}

    std::size_t size() const { return size_; }
    bool full() const { return size_ == ring_.size(); }

    // Takes as many of the bytes as there is room for; their count.
    std::size_t push(std::string_view bytes) {
        const std::size_t count = std::min(bytes.size(), ring_.size() - size_);
        const std::size_t end = (start_ + size_) % ring_.size();
        const std::size_t first = std::min(count, ring_.size() - end);
        std::copy_n(bytes.data(), first, ring_.data() + end);
        std::copy_n(bytes.data() + first, count - first, ring_.data());
        size_ += count;
        return count;
    }

    // Moves up to SIZE of the oldest bytes out; their count.
    std::size_t pop(char* to, std::size_t size) {
        const std::size_t count = std::min(size, size_);
        const std::size_t first = std::min(count, ring_.size() - start_);
        std::copy_n(ring_.data() + start_, first, to);
        std::copy_n(ring_.data(), count - first, to + first);
        start_ = (start_ + count) % ring_.size();
        size_ -= count;
        return count;
    }

    // Takes back up to COUNT of the newest bytes.
    void dropNewest(std::size_t count) { size_ -= std::min(count, size_); }

    void clear() {
        start_ = 0;
        size_ = 0;
    }

private:
    std::vector<char> ring_;
    std::size_t start_ = 0;
    std::size_t size_ = 0;
};
