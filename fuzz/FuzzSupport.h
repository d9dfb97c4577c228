#pragma once
// What the fuzz targets share: inputs cut in two, and statements of the font format's rules
// made independently of the engine (plain byte arithmetic), to check its results against.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <utility>
#include <vector>

namespace fuzzing {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) |
           std::uint32_t(b[at + 3]);
}
inline std::uint16_t be16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]); }

// Two inputs in one: the first four bytes give the first part's length (modulo what follows).
inline std::pair<Bytes, Bytes> split(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return {};
    const std::size_t rest = size - 4;
    const std::size_t first = rest == 0 ? 0 : (std::size_t{data[0]} << 24 | std::size_t{data[1]} << 16 |
                                               std::size_t{data[2]} << 8 | data[3]) % (rest + 1);
    return {Bytes(data + 4, data + 4 + first), Bytes(data + 4 + first, data + size)};
}
inline Bytes join(const Bytes& a, const Bytes& b) {
    Bytes out = {std::uint8_t(a.size() >> 24), std::uint8_t(a.size() >> 16), std::uint8_t(a.size() >> 8),
                 std::uint8_t(a.size())};
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// The sum of big-endian words over [from, from + length), the last word padded with zeros.
inline std::uint32_t wordSum(const Bytes& b, std::size_t from, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += std::uint32_t(b[from + i]) << (24 - 8 * (i % 4));
    return sum;
}

// A font as the format wants it written: its tables inside the file, on word boundaries,
// after the directory and not over one another; each record's checksum that of its table;
// the whole file's words adding up to 0xB1B0AFBA.
inline bool wellFormedFont(const Bytes& font) {
    if (font.size() < 12) return false;
    const std::size_t n = be16(font, 4);
    const std::size_t directoryEnd = 12 + 16 * n;
    if (directoryEnd > font.size()) return false;
    std::vector<std::pair<std::size_t, std::size_t>> extents;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = 12 + 16 * i;
        const std::size_t offset = be32(font, at + 8), length = be32(font, at + 12);
        if (offset < directoryEnd || offset % 4 != 0 || offset > font.size() || length > font.size() - offset)
            return false;
        if (wordSum(font, offset, length) != be32(font, at + 4)) {
            // 'head' is summed with its adjustment field zero.
            const bool head = font[at] == 'h' && font[at + 1] == 'e' && font[at + 2] == 'a' && font[at + 3] == 'd';
            if (!head || length < 12 || wordSum(font, offset, length) - be32(font, offset + 8) != be32(font, at + 4))
                return false;
        }
        extents.emplace_back(offset, offset + length);
    }
    std::sort(extents.begin(), extents.end());
    for (std::size_t k = 1; k < extents.size(); ++k)
        if (extents[k].first < extents[k - 1].second) return false;
    return wordSum(font, 0, font.size()) == 0xB1B0AFBAu;
}

// Stops the run as a finding, with a reason in the log.
[[noreturn]] inline void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    __builtin_trap();
}

}  // namespace fuzzing
