#pragma once
// A file stream over bytes held in memory, with a disk that can run full.
#include "platform/FileStreams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

class MemoryStream : public platform::FileStream {
public:
    // freeSpace, when given, is shared by every stream of one fake disk.
    explicit MemoryStream(std::string& bytes, std::size_t* freeSpace = nullptr)
        : bytes_(bytes), freeSpace_(freeSpace) {}

    // Reads that reach this position fail, as a damaged disk does in the middle of a file.
    void failReadsAt(std::size_t position) { failReadsAt_ = position; }

    platform::ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        if (position_ + size > failReadsAt_) {
            processed = 0;
            return 1117;  // an I/O device error
        }
        processed = position_ >= bytes_.size()
                        ? 0
                        : static_cast<std::uint32_t>(std::min<std::size_t>(size, bytes_.size() - position_));
        std::memcpy(data, bytes_.data() + position_, processed);
        position_ += processed;
        return 0;
    }
    // A full disk takes what still fits, then fails.
    platform::ErrorCode write(const void* data, std::uint32_t size, std::uint32_t& processed) override {
        std::size_t fits = size;
        if (freeSpace_) {
            const std::size_t growth = position_ + size > bytes_.size() ? position_ + size - bytes_.size() : 0;
            if (growth > *freeSpace_) fits -= growth - *freeSpace_;
            if (fits == 0 && size > 0) return platform::error::diskFull;
            *freeSpace_ -= std::min(growth, *freeSpace_);
        }
        if (bytes_.size() < position_ + fits) bytes_.resize(position_ + fits);
        std::memcpy(bytes_.data() + position_, data, fits);
        position_ += fits;
        processed = static_cast<std::uint32_t>(fits);
        return 0;
    }
    platform::ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override {
        const std::int64_t base = origin == fromBegin ? 0
                                  : origin == fromCurrent ? static_cast<std::int64_t>(position_)
                                                          : static_cast<std::int64_t>(bytes_.size());
        if (origin > fromEnd) return platform::error::invalidParameter;
        if (base + offset < 0) return platform::error::negativeSeek;
        position_ = static_cast<std::size_t>(base + offset);
        newPosition = position_;
        return 0;
    }
    platform::ErrorCode setSize(std::uint64_t size) override {
        bytes_.resize(static_cast<std::size_t>(size));
        return 0;
    }
    platform::ErrorCode size(std::uint64_t& size) override {
        size = bytes_.size();
        return 0;
    }
    platform::ErrorCode close() override { return 0; }

private:
    std::string& bytes_;
    std::size_t* freeSpace_;
    std::size_t failReadsAt_ = SIZE_MAX;
    std::size_t position_ = 0;
};
