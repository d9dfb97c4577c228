#include "fonttables/CommonTool.h"

#include <bit>
#include <cstring>

namespace fr {

std::int32_t CommonTool::byte4_chk(std::int32_t n) {
    std::int32_t quarters = n / 4;
    if (n % 4 != 0) quarters += 1;
    // Multiplied unsigned so a length outside the rounding's range wraps instead of being
    // undefined; callers with lengths from a file use byte4_chk_checked.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(quarters) * 4u);
}

std::optional<std::int32_t> CommonTool::byte4_chk_checked(std::int64_t n) {
    constexpr std::int64_t kLargest = (std::int64_t{1} << 31) - 4;
    if (n < 0 || n > kLargest) return std::nullopt;
    return byte4_chk(static_cast<std::int32_t>(n));
}

namespace {
inline std::uint32_t wordAt(const std::uint8_t* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
    return w;
}
}  // namespace

std::uint32_t CommonTool::tableChecksum(std::span<const std::uint8_t> bytes) {
    const std::size_t words = bytes.size() / 4;
    const std::uint8_t* data = bytes.data();

    // Four independent sums keep the loop free of a carried dependency so it runs at
    // memory speed over multi-megabyte images; wrapping addition is associative.
    std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= words; i += 4) {
        const std::uint8_t* p = data + i * 4;
        s0 += wordAt(p);
        s1 += wordAt(p + 4);
        s2 += wordAt(p + 8);
        s3 += wordAt(p + 12);
    }
    for (; i < words; ++i) s0 += wordAt(data + i * 4);

    // The last partial word, padded with zeros.
    std::uint32_t last = 0;
    for (std::size_t k = words * 4; k < bytes.size(); ++k) last |= std::uint32_t{data[k]} << (24 - 8 * (k - words * 4));
    return s0 + s1 + s2 + s3 + last;
}

}  // namespace fr
