#include "platform/Native.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string lowerHex(const platform::Sha256Value& value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : value) text.append({digits[byte >> 4], digits[byte & 15]});
    return text;
}

}  // namespace

// Lengths around the padding's edges, given in two pieces that straddle a block.
TEST(NativeDigest, Sha256OfEveryPaddingCase) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {1000, "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const auto& [length, digest] : cases) {
        const std::vector<std::uint8_t> bytes(length, 'a');
        const auto sha = platform::nativeCryptography().sha256();
        ASSERT_TRUE(sha);
        ASSERT_TRUE(sha->add(bytes.data(), length / 3));
        ASSERT_TRUE(sha->add(bytes.data() + length / 3, length - length / 3));
        const auto value = sha->finish();
        ASSERT_TRUE(value) << length;
        EXPECT_EQ(lowerHex(*value), digest) << length;
    }
}
