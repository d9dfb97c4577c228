#pragma once
// Table checksums over a span of a new font image, with the rounding to four taken from the
// image's own zero padding and never read past the bytes held.

#include "fonttables/CommonTool.h"

#include <cstdint>
#include <span>

namespace fr {

// The table checksum of `length` bytes at `offset`, over `length` rounded up to four; bytes
// the span does not reach count as zero (as the image's padding is).
inline std::uint32_t paddedTableSum(std::span<const std::uint8_t> image, std::size_t offset, std::uint32_t length) {
    if (offset >= image.size()) return 0;
    const std::size_t available = image.size() - offset;
    const std::uint64_t rounded = (std::uint64_t{length} + 3u) & ~std::uint64_t{3};
    if (rounded <= available) return CommonTool::calcTableCheckSum(image.data() + offset, static_cast<std::uint32_t>(rounded));

    // The span ends inside the last word: the whole words in bulk, then the tail zero-filled.
    const std::size_t whole = available & ~std::size_t{3};
    std::uint32_t sum = CommonTool::calcTableCheckSum(image.data() + offset, static_cast<std::uint32_t>(whole));
    std::uint32_t last = 0;
    for (std::size_t k = whole; k < available && k < rounded; ++k) last |= std::uint32_t{image[offset + k]} << (24 - 8 * (k - whole));
    return sum + last;
}

// The verification sum of a new image or of the file written from it: the big-endian words
// of the first `length` bytes, a last partial word counted zero-padded so that no byte of
// the file escapes the comparison.
inline std::uint32_t verificationSum(std::span<const std::uint8_t> bytes, std::size_t length) {
    const std::size_t usable = length < bytes.size() ? length : bytes.size();
    return paddedTableSum(bytes.first(usable), 0, static_cast<std::uint32_t>(usable));
}

}  // namespace fr
