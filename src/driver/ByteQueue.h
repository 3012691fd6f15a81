#pragma once
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

// A bounded first-in-first-out queue of bytes in one block, taken once: bytes
// pass through it without an allocation of their own.
class ByteQueue {
public:
    // At least one byte; the block is not cleared, as no byte is read before it was written.
    explicit ByteQueue(std::size_t capacity)
        : ring_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

    std::size_t size() const { return size_; }
    bool full() const { return size_ == capacity_; }

    // Takes as many of the bytes as there is room for; their count.
    std::size_t push(std::string_view bytes) {
        const std::size_t count = std::min(bytes.size(), capacity_ - size_);
        const std::size_t end = (start_ + size_) % capacity_;
        const std::size_t first = std::min(count, capacity_ - end);
        std::copy_n(bytes.data(), first, ring_.get() + end);
        std::copy_n(bytes.data() + first, count - first, ring_.get());
        size_ += count;
        return count;
    }

    // Moves up to SIZE of the oldest bytes out; their count.
    std::size_t pop(char* to, std::size_t size) {
        const std::size_t count = std::min(size, size_);
        const std::size_t first = std::min(count, capacity_ - start_);
        std::copy_n(ring_.get() + start_, first, to);
        std::copy_n(ring_.get(), count - first, to + first);
        start_ = (start_ + count) % capacity_;
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
    std::unique_ptr<char[]> ring_;
    const std::size_t capacity_;
    std::size_t start_ = 0;
    std::size_t size_ = 0;
};
