// Length rounding and the table checksum, against a plain byte-by-byte sum; the 'head'
// checksum and the whole font's checkSumAdjustment of a new image.

#include "fonttables/CommonTool.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using fr::CommonTool;

namespace {

// The checksum as the font format states it, one byte at a time, over the rounded length.
std::uint32_t referenceSum(const std::vector<std::uint8_t>& buffer, std::uint32_t length) {
    const std::uint32_t rounded = (length + 3u) & ~3u;
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < rounded; i += 4)
        sum += (std::uint32_t(buffer[i]) << 24) | (std::uint32_t(buffer[i + 1]) << 16) |
               (std::uint32_t(buffer[i + 2]) << 8) | buffer[i + 3];
    return sum;
}

// `length` random bytes, zero up to the rounded length, as every caller allocates them.
std::vector<std::uint8_t> paddedRandom(std::mt19937& rng, std::uint32_t length) {
    std::vector<std::uint8_t> b((length + 3u) & ~3u, 0);
    for (std::uint32_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>(rng());
    return b;
}

TEST(Byte4Chk, RoundsUpToFour) {
    const std::int32_t expected[] = {0, 4, 4, 4, 4, 8, 8, 8, 8, 12};
    for (std::int32_t n = 0; n < 10; ++n) EXPECT_EQ(CommonTool::byte4_chk(n), expected[n]) << n;
    EXPECT_EQ(CommonTool::byte4_chk(0x7FFFFFFC), 0x7FFFFFFC);
    EXPECT_EQ(CommonTool::byte4_chk(0x7FFFFFF9), 0x7FFFFFFC);
}

TEST(Byte4Chk, CheckedRefusesWhatCannotBeRounded) {
    EXPECT_EQ(CommonTool::byte4_chk_checked(5), 8);
    EXPECT_EQ(CommonTool::byte4_chk_checked(0x7FFFFFFC), 0x7FFFFFFC);
    EXPECT_FALSE(CommonTool::byte4_chk_checked(-1));
    EXPECT_FALSE(CommonTool::byte4_chk_checked(0x7FFFFFFD));
    EXPECT_FALSE(CommonTool::byte4_chk_checked(0x7FFFFFFF));
    EXPECT_FALSE(CommonTool::byte4_chk_checked(0xFFFFFFFFLL));
}

TEST(TableCheckSum, KnownSums) {
    const std::uint8_t twoWords[] = {0, 0, 0, 1, 0, 0, 0, 2};
    EXPECT_EQ(CommonTool::calcTableCheckSum(twoWords, 8), 3u);
    const std::uint8_t wraps[] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1};
    EXPECT_EQ(CommonTool::calcTableCheckSum(wraps, 8), 0u);
    const std::uint8_t abc[] = {0x61, 0x62, 0x63, 0x00};
    EXPECT_EQ(CommonTool::calcTableCheckSum(abc, 3), 0x61626300u);
    EXPECT_EQ(CommonTool::calcTableCheckSum(abc, 0), 0u);
    EXPECT_EQ(CommonTool::calcTableCheckSum(nullptr, 0), 0u);
    // A length already rounded gives the same sum.
    EXPECT_EQ(CommonTool::calcTableCheckSum(abc, 4), 0x61626300u);
}

TEST(TableCheckSum, MatchesByteSumForEveryShortLength) {
    std::mt19937 rng(20240501);
    for (std::uint32_t length = 0; length <= 64; ++length) {
        for (int round = 0; round < 8; ++round) {
            const auto b = paddedRandom(rng, length);
            // Exactly the rounded length is allocated: ASan reports any read beyond it.
            EXPECT_EQ(CommonTool::calcTableCheckSum(b.data(), length), referenceSum(b, length)) << length;
            // The sum over a span pads itself: bytes held beyond it don't count, and a buffer
            // of exactly the length is never read past.
            std::vector<std::uint8_t> exact(b.begin(), b.begin() + length);
            EXPECT_EQ(CommonTool::tableChecksum(exact), referenceSum(b, length)) << length;
            std::vector<std::uint8_t> trailing = b;
            for (std::size_t k = length; k < trailing.size(); ++k) trailing[k] = 0xFF;
            EXPECT_EQ(CommonTool::tableChecksum(std::span(trailing).first(length)), referenceSum(b, length)) << length;
        }
    }
}

TEST(TableCheckSum, MatchesByteSumOnLargeBuffersOfEveryRemainder) {
    std::mt19937 rng(7);
    for (std::uint32_t length :
         {3u * 1024 * 1024, 3u * 1024 * 1024 + 1, 3u * 1024 * 1024 + 2, 3u * 1024 * 1024 + 3, 1048573u}) {
        const auto b = paddedRandom(rng, length);
        EXPECT_EQ(CommonTool::calcTableCheckSum(b.data(), length), referenceSum(b, length)) << length;
    }
}

TEST(TableCheckSum, WrapsOverManyLargeWords) {
    // 4099 words of FFFFFFFF: -4099 mod 2^32, through every accumulator and the tail loop.
    std::vector<std::uint8_t> b(4099 * 4, 0xFF);
    EXPECT_EQ(CommonTool::calcTableCheckSum(b.data(), static_cast<std::uint32_t>(b.size())), 0u - 4099u);
    EXPECT_EQ(CommonTool::calcTableCheckSum(b.data(), static_cast<std::uint32_t>(b.size())),
              referenceSum(b, static_cast<std::uint32_t>(b.size())));
}

}  // namespace
