#pragma once
#include "platform/FileStreams.h"

namespace SevenZip::intl {

// Another owner's stream, lent for a while: every operation goes through to it,
// except closing, which stays with the owner.
class LentStream final : public platform::FileStream {
public:
    explicit LentStream(platform::FileStream& stream) : stream_(stream) {}

    platform::ErrorCode read(void* data, std::uint32_t size, std::uint32_t& processed) override {
        return stream_.read(data, size, processed);
    }
    platform::ErrorCode write(const void* data, std::uint32_t size, std::uint32_t& processed) override {
        return stream_.write(data, size, processed);
    }
    platform::ErrorCode seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override {
        return stream_.seek(offset, origin, newPosition);
    }
    platform::ErrorCode setSize(std::uint64_t size) override { return stream_.setSize(size); }
    platform::ErrorCode size(std::uint64_t& size) override { return stream_.size(size); }
    platform::ErrorCode close() override { return platform::error::success; }

private:
    platform::FileStream& stream_;
};

}  // namespace SevenZip::intl
