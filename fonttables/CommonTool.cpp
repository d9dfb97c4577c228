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

namespace {
// The wrapping sum of `words` big-endian words. Written so the compiler vectorises it; the
// AVX2 version is taken where the processor has it.
__attribute__((target_clones("avx2", "default"))) std::uint32_t sumWords(const std::uint8_t* data, std::size_t words) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < words; ++i) sum += wordAt(data + 4 * i);
    return sum;
}
}  // namespace

std::uint32_t CommonTool::tableChecksum(std::span<const std::uint8_t> bytes) {
    const std::size_t words = bytes.size() / 4;
    const std::uint32_t whole = words == 0 ? 0 : sumWords(bytes.data(), words);
    // The last partial word, padded with zeros.
    std::uint32_t last = 0;
    for (std::size_t k = words * 4; k < bytes.size(); ++k)
        last |= std::uint32_t{bytes[k]} << (24 - 8 * (k - words * 4));
    return whole + last;
}

bool CommonTool::fileExist(const platform::Files& files, const QString& path) { return files.exists(path); }

bool CommonTool::fileDirectory(const platform::Files& files, const QString& path) {
    return files.exists(path) && files.isFolder(path);
}

}  // namespace fr
