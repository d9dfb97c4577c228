#pragma once
// A mutator that knows the patch format: it moves the numbers of the table records and of the
// instructions while the records and blocks stay where they are, so the patch still parses
// and the mutation reaches the checks behind the loader.

#include "FuzzSupport.h"

#include <cstdint>
#include <random>
#include <vector>

namespace fuzzing {

// Where the numbers of a patch stand that can move without moving the structure.
inline std::vector<std::pair<std::size_t, int>> movableFields(const Bytes& p) {
    std::vector<std::pair<std::size_t, int>> fields;  // offset, width
    if (p.size() < 53) return fields;
    fields.push_back({40, 4});  // font_length
    const std::size_t n = p[44];
    for (std::size_t k = 0; k < n && 53 + 18 * (k + 1) <= p.size(); ++k) {
        const std::size_t r = 53 + 18 * k;
        fields.push_back({r + 4, 1});   // tablePos
        fields.push_back({r + 10, 4});  // up_datalength
        fields.push_back({r + 14, 4});  // up_dataOffset
        const std::size_t block = be32(p, r + 6);
        if (block == 0 || block + 4 > p.size()) continue;
        const std::size_t m = be32(p, block);
        std::size_t at = block + 4;
        for (std::size_t j = 0; j < m && at + 12 <= p.size() && j < 4096; ++j, at += 12) {
            fields.push_back({at, 4});      // src_offset
            fields.push_back({at + 4, 4});  // src_length
            fields.push_back({at + 8, 4});  // dst_offset
        }
        if (at + 4 > p.size()) continue;
        const std::size_t k2 = be32(p, at);
        at += 4;
        for (std::size_t i = 0; i < k2 && at + 8 <= p.size() && i < 4096; ++i) {
            fields.push_back({at, 4});  // offset
            at += 8 + be32(p, at + 4);
        }
    }
    return fields;
}

// The shared-block form: every record names the first record's block, and that block grows by
// empty new-data instructions at its end. A loader that walks each record's block on its own
// does the same work, and holds the same instructions, once per record.
inline bool shareOneBlock(Bytes& p, std::minstd_rand& rng) {
    if (p.size() < 53) return false;
    const std::size_t n = p[44];
    std::uint32_t block = 0;
    for (std::size_t k = 0; k < n && 53 + 18 * (k + 1) <= p.size() && block == 0; ++k) block = be32(p, 53 + 18 * k + 6);
    if (block == 0 || std::size_t{block} + 8 > p.size()) return false;
    for (std::size_t k = 0; k < n && 53 + 18 * (k + 1) <= p.size(); ++k)
        for (int i = 0; i < 4; ++i) p[53 + 18 * k + 6 + i] = static_cast<std::uint8_t>(block >> (24 - 8 * i));
    const std::size_t added = 1 + rng() % 64;
    p.insert(p.end(), 8 * added, 0);
    const std::size_t kAt = block + 4 + 12 * std::size_t{be32(p, block)};
    if (kAt + 4 > p.size()) return true;
    const std::uint32_t k = be32(p, kAt) + static_cast<std::uint32_t>(added);
    for (int i = 0; i < 4; ++i) p[kAt + i] = static_cast<std::uint8_t>(k >> (24 - 8 * i));
    return true;
}

// Moves one number: by a little, to a boundary, or to a value from the patch itself; now and
// then puts the patch in the shared-block form instead.
inline bool mutatePatch(Bytes& p, unsigned seed) {
    std::minstd_rand rng(seed);
    if (rng() % 8 == 0 && shareOneBlock(p, rng)) return true;
    const auto fields = movableFields(p);
    if (fields.empty()) return false;
    const auto [at, width] = fields[rng() % fields.size()];
    std::uint32_t value = width == 1 ? p[at] : be32(p, at);
    switch (rng() % 6) {
    case 0:
        value += 1 + rng() % 8;
        break;
    case 1:
        value -= 1 + rng() % 8;
        break;
    case 2:
        value = 0;
        break;
    case 3:
        value = 0xFFFFFFFFu - rng() % 4;
        break;
    case 4:
        value = be32(p, 40) - rng() % 8;
        break;  // around the new font's end
    default: {  // another number of the same patch
        const auto [other, otherWidth] = fields[rng() % fields.size()];
        value = otherWidth == 1 ? p[other] : be32(p, other);
        break;
    }
    }
    if (width == 1) {
        p[at] = static_cast<std::uint8_t>(value);
    } else {
        for (int i = 0; i < 4; ++i) p[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
    return true;
}

}  // namespace fuzzing
