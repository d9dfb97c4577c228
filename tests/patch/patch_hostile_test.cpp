// Patches that break their own layout: each must load cleanly or be refused, never read
// outside the file. Meaningful under AddressSanitizer.

#include "patch/MakeSabunData.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <random>

using namespace testsupport;
using fr::MakeSabunData;
using fr::SabunTagObject;

namespace {

constexpr std::size_t kRecordsAt = 53;

// Two changed tables and one carried over; the file ends with the last block's data.
Bytes smallValidPatch() {
    PatchLayout layout;
    layout.fontName = "Kestrune-W3";
    layout.fontLength = 400;
    layout.tables.push_back({"head", 1, 0, 54, 100, false, {}, {}});
    layout.tables.push_back({"name", 0, 1, 40, 160, true, {{0, 6, 0}, {10, 4, 20}}, {{2, {0xCA, 0xFE}}, {30, {}}}});
    layout.tables.push_back({"CFF ", 2, 2, 24, 200, true, {}, {{0, {1, 2, 3, 4, 5, 6, 7}}}});
    return buildPatch(layout);
}

// Touches every byte the loaded tree hands out, so ASan sees any view that leaves the file.
std::uint32_t walk(const MakeSabunData& patch) {
    std::uint32_t seen = 0;
    for (std::int32_t slot = 0; slot < 256; ++slot) {
        const SabunTagObject* record = patch.getSabunTagTableNum(slot);
        if (!record) continue;
        for (std::int32_t i = 0; i < record->getOldCopyArraySize(); ++i)
            seen += record->getOldTagObject(i)->getOldFontStruct().src_length;
        for (std::int32_t i = 0; i < record->getNewCopyArraySize(); ++i) {
            const fr::NewTagObject added = *record->getNewTagObject(i);
            const std::uint32_t length = added.getNewStructFont().length;
            for (std::uint32_t k = 0; k < length; ++k) seen += added.getData()[k];
        }
    }
    return seen;
}

// One changed table whose block is `block`, appended after the header and the record.
Bytes patchWithBlock(const Bytes& block) {
    PatchLayout layout;
    layout.tables.push_back({"GSUB", 0, 0, 64, 100, false, {}, {}});
    Bytes patch = buildPatch(layout);
    putU32(patch, kRecordsAt + 6, static_cast<std::uint32_t>(patch.size()));
    patch.insert(patch.end(), block.begin(), block.end());
    return patch;
}

TEST(HostilePatch, EveryTruncationOfAValidPatchIsRefused) {
    const Bytes full = smallValidPatch();
    {
        MakeSabunData patch;
        ASSERT_TRUE(patch.loadSabunBytes(full));
        walk(patch);
    }
    for (std::size_t length = 0; length < full.size(); ++length) {
        MakeSabunData patch;
        EXPECT_FALSE(patch.loadSabunBytes(Bytes(full.begin(), full.begin() + std::ptrdiff_t(length)))) << length;
        walk(patch);
    }
}

TEST(HostilePatch, RecordsPastTheEndAreRefused) {
    PatchLayout layout;
    layout.tables.push_back({"head", 0, 0, 54, 100, false, {}, {}});
    Bytes bytes = buildPatch(layout);
    bytes[44] = 2;  // two records claimed, one present
    MakeSabunData patch;
    EXPECT_FALSE(patch.loadSabunBytes(bytes));
    bytes[44] = 255;
    EXPECT_FALSE(patch.loadSabunBytes(bytes));
}

TEST(HostilePatch, BlockOffsetsPastTheEndAreRefused) {
    Bytes bytes = smallValidPatch();
    for (std::uint32_t offset :
         {std::uint32_t(bytes.size()), std::uint32_t(bytes.size() + 1), 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Bytes bad = bytes;
        putU32(bad, kRecordsAt + 18 + 6, offset);
        MakeSabunData patch;
        EXPECT_FALSE(patch.loadSabunBytes(bad)) << offset;
    }
    // A block that starts inside the file but whose instructions run out of it.
    Bytes bad = bytes;
    putU32(bad, kRecordsAt + 18 + 6, static_cast<std::uint32_t>(bytes.size() - 2));
    MakeSabunData patch;
    EXPECT_FALSE(patch.loadSabunBytes(bad));
}

TEST(HostilePatch, HugeCountsAreRefusedWithoutWalking) {
    for (std::uint32_t count : {0xFFFFFFFFu, 0x80000000u, 1000u}) {
        Bytes oldHeavy;
        appendU32(oldHeavy, count);
        appendU32(oldHeavy, 0);
        MakeSabunData patch;
        EXPECT_FALSE(patch.loadSabunBytes(patchWithBlock(oldHeavy))) << count;

        Bytes newHeavy;
        appendU32(newHeavy, 0);
        appendU32(newHeavy, count);
        appendU32(newHeavy, 0), appendU32(newHeavy, 0);  // one empty instruction, then the end
        EXPECT_FALSE(patch.loadSabunBytes(patchWithBlock(newHeavy))) << count;
    }
}

// A block of `k` new-data instructions that write nothing.
Bytes emptyInstructions(std::uint32_t k) {
    Bytes block;
    appendU32(block, 0);
    appendU32(block, k);
    block.insert(block.end(), 8 * std::size_t{k}, 0);
    return block;
}

// A block of `k` old copies that copy nothing.
Bytes blockOfCopies(std::uint32_t k) {
    Bytes block;
    appendU32(block, k);
    block.insert(block.end(), 12 * std::size_t{k}, 0);
    appendU32(block, 0);
    return block;
}

// `records` changed tables of 64 bytes, every one naming the block at `blockAt(k)` of
// `block` appended once after the records.
Bytes sharedBlock(std::size_t records, const Bytes& block, std::function<std::uint32_t(std::uint32_t)> blockAt) {
    PatchLayout layout;
    layout.fontLength = 1u << 20;
    for (std::size_t k = 0; k < records; ++k) {
        const std::string tag{'T', char('A' + k / 26 % 26), char('A' + k % 26), char('0' + k / 676)};
        layout.tables.push_back({tag, std::uint8_t(k), 0, 64, std::uint32_t(1024 + 64 * k), false, {}, {}});
    }
    Bytes patch = buildPatch(layout);
    const auto first = static_cast<std::uint32_t>(patch.size());
    for (std::size_t k = 0; k < records; ++k) putU32(patch, kRecordsAt + 18 * k + 6, blockAt(first));
    patch.insert(patch.end(), block.begin(), block.end());
    return patch;
}

TEST(HostilePatch, InstructionsNoTableCanUseAreRefusedBeforeAnyIsKept) {
    const Bytes twoEmpty = emptyInstructions(2);
    struct Refused {
        const char* what;
        Bytes bytes;
        const char* reason;
    };
    const std::vector<Refused> refused = {
        {"more instructions than the new table has bytes", patchWithBlock(emptyInstructions(65)),
         "patch-instructions"},
        {"more old copies than the new table has bytes", patchWithBlock(blockOfCopies(65)), "patch-instructions"},
        {"255 records on one block", sharedBlock(255, emptyInstructions(64), [](std::uint32_t at) { return at; }),
         "patch-blocks"},
        {"two records on one block", sharedBlock(2, twoEmpty, [](std::uint32_t at) { return at; }), "patch-blocks"},
        {"a block that starts inside another",
         sharedBlock(2, twoEmpty, [n = 0](std::uint32_t at) mutable { return at + 8 * n++; }), "patch-truncated"},
        {"a block over the records", sharedBlock(2, twoEmpty, [n = 0](std::uint32_t) mutable { return 53u + n++; }),
         "patch-blocks"},
    };
    for (const auto& [what, bytes, reason] : refused) {
        MakeSabunData patch;
        EXPECT_FALSE(patch.loadSabunBytes(bytes)) << what;
        EXPECT_EQ(patch.problem().id, QString::fromLatin1(reason)) << what;
        EXPECT_EQ(patch.getSabunTagTableNum(0), nullptr) << what;
    }
    MakeSabunData patch;
    EXPECT_TRUE(patch.loadSabunBytes(patchWithBlock(emptyInstructions(64)))) << "one instruction per byte";
    Bytes adjacent = twoEmpty;
    adjacent.insert(adjacent.end(), twoEmpty.begin(), twoEmpty.end());
    EXPECT_TRUE(patch.loadSabunBytes(sharedBlock(2, adjacent, [n = 0](std::uint32_t at) mutable {
        return at + 24 * n++;  // the first block ends where the second begins
    })));
}

TEST(HostilePatch, PositionsThatWouldWrapIn32BitsAreRefused) {
    // 4 + 12·M wraps to 12 in 32 bits: a 32-bit reader would take the copies as the count.
    Bytes wrapsOld;
    appendU32(wrapsOld, 0x15555556u);
    for (int i = 0; i < 6; ++i) appendU32(wrapsOld, 0);
    MakeSabunData patch;
    EXPECT_FALSE(patch.loadSabunBytes(patchWithBlock(wrapsOld)));

    // A data length that brings the next position back to this instruction, and lengths
    // near 2^31 and 2^32.
    for (std::uint32_t length : {0xFFFFFFF8u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu}) {
        Bytes wrapsNew;
        appendU32(wrapsNew, 0);
        appendU32(wrapsNew, 2);
        appendU32(wrapsNew, 0), appendU32(wrapsNew, length);
        appendU32(wrapsNew, 0), appendU32(wrapsNew, 0);
        EXPECT_FALSE(patch.loadSabunBytes(patchWithBlock(wrapsNew))) << length;
    }
}

// A block of the given old copies (src_offset, src_length, dst_offset) and new-data lengths.
Bytes blockOf(const std::vector<std::array<std::uint32_t, 3>>& copies, const std::vector<std::uint32_t>& added) {
    Bytes block;
    appendU32(block, static_cast<std::uint32_t>(copies.size()));
    for (const auto& [src, length, dst] : copies)
        appendU32(block, src), appendU32(block, length), appendU32(block, dst);
    appendU32(block, static_cast<std::uint32_t>(added.size()));
    for (const std::uint32_t length : added) {
        appendU32(block, 0), appendU32(block, length);
        block.insert(block.end(), length, 0x5A);
    }
    return block;
}

TEST(HostilePatch, InstructionsWriteNoMoreThanTheirTableHolds) {
    // The 64-byte table of patchWithBlock: whatever the copies overlap or read, all of them
    // together write at most 64 bytes, so the work is bounded by the new font.
    const std::vector<std::pair<const char*, Bytes>> refused = {
        {"the same range copied twice", blockOf({{0, 64, 0}, {0, 64, 0}}, {})},
        {"one copy of 4 GiB", blockOf({{0, 0xFFFFFFFFu, 0}}, {})},
        {"copies whose lengths wrap to a small sum in 32 bits", blockOf({{0, 0xFFFFFFF0u, 0}, {0, 0x20u, 0}}, {})},
        {"a whole copy and one byte of new data over it", blockOf({{0, 64, 0}}, {1})},
    };
    for (const auto& [what, block] : refused) {
        MakeSabunData patch;
        EXPECT_FALSE(patch.loadSabunBytes(patchWithBlock(block))) << what;
        EXPECT_EQ(patch.problem().id, QStringLiteral("patch-work")) << what;
    }
    // Copies that read overlapping ranges, or name places no table has (checked where they
    // are applied), load while they write no more than the table holds.
    for (const Bytes& block :
         {blockOf({{0, 32, 0}, {16, 32, 32}}, {}), blockOf({{0xFFFFFFF0u, 8, 0xFFFFFFF0u}}, {56}), blockOf({}, {64})}) {
        MakeSabunData patch;
        EXPECT_TRUE(patch.loadSabunBytes(patchWithBlock(block)));
    }
}

TEST(HostilePatch, RandomByteFlipsNeverCrash) {
    const Bytes valid = smallValidPatch();
    std::mt19937 rng(0x5EED);
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        Bytes mutated = valid;
        const int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f) {
            // Mostly the header, records and block heads, where numbers live.
            const std::size_t at =
                rng() % 2 ? rng() % std::min<std::size_t>(mutated.size(), 160) : rng() % mutated.size();
            mutated[at] = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
        }
        if (round % 10 == 0) mutated.resize(rng() % (mutated.size() + 1));
        MakeSabunData patch;
        if (patch.loadSabunBytes(std::move(mutated))) ++loaded;
        walk(patch);
    }
    EXPECT_GT(loaded, 0);  // the loop reaches loads that succeed, not only early refusals
}

}  // namespace
