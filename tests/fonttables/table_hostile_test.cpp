// Fonts and patch records that lie about where their bytes are: the model refuses them
// cleanly and never reads or writes outside the installed bytes or the new table.

#include "fonttables/OpenTypeManager.h"
#include "patch/MakeSabunData.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>

using namespace testsupport;
using fr::MakeSabunData;
using fr::OpenTypeManager;
using fr::TagObj;

namespace {

Bytes smallFont() {
    return buildSfnt({{"head", headTable(0x80000)}, {"name", counting(21, 0x30)}, {"CFF ", counting(40, 0x80)}});
}

// Loads the bytes with the header taken from `header` (the whole font, when the bytes are
// a cut-down copy, as a directory that claims more than the file holds).
std::int32_t load(OpenTypeManager& font, const Bytes& bytes, const Bytes& header) {
    font.setReadData(bytes);
    OpenTypeManager::checkOpenTypeHeader(header, static_cast<std::int32_t>(header.size()), font.m_sfntHead);
    return font.buildTagObjects();
}

struct Record {
    MakeSabunData patch;
    explicit Record(const PatchTable& table) {
        PatchLayout layout;
        layout.tables.push_back(table);
        if (!patch.loadSabunBytes(buildPatch(layout))) throw std::runtime_error("patch did not load");
    }
    const fr::SabunTagObject& get() const { return *patch.getSabunTagTableNum(0); }
};

TEST(HostileFont, EveryTruncationLoadsOnlyWhatItHolds) {
    const Bytes full = smallFont();
    for (std::size_t length = 0; length <= full.size(); ++length) {
        OpenTypeManager font;
        const std::int32_t code = load(font, Bytes(full.begin(), full.begin() + std::ptrdiff_t(length)), full);
        // The last table's 40 bytes end the file: any cut loses part of the font.
        EXPECT_EQ(code, length == full.size() ? 0 : 2) << length;
    }
}

TEST(HostileFont, TablesOutsideTheFileAreRefused) {
    const Bytes good = smallFont();
    const std::size_t cff = 12 + 16 * 2;
    struct Case {
        std::uint32_t offset, length;
    } cases[] = {{static_cast<std::uint32_t>(good.size()), 1},
                 {static_cast<std::uint32_t>(good.size() - 39), 40},
                 {0xFFFFFFF0u, 0x20},  // wraps to a small end in 32 bits
                 {8, 0xFFFFFFFCu},
                 {0, 0x80000000u}};
    for (const Case& c : cases) {
        Bytes bad = good;
        putU32(bad, cff + 8, c.offset);
        putU32(bad, cff + 12, c.length);
        OpenTypeManager font;
        EXPECT_EQ(load(font, bad, bad), 2) << c.offset << " " << c.length;
    }
    // A table of no bytes right at the end of the file is within it.
    Bytes empty = good;
    putU32(empty, cff + 8, static_cast<std::uint32_t>(good.size()));
    putU32(empty, cff + 12, 0);
    OpenTypeManager font;
    EXPECT_EQ(load(font, empty, empty), 0);
}

TEST(HostileFont, DirectoryLongerThanTheFileIsRefused) {
    Bytes bad = smallFont();
    putU16(bad, 4, 0xFFFF);
    OpenTypeManager font;
    EXPECT_EQ(load(font, bad, bad), 2);
}

class CopyBounds : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(load(font, smallFont(), smallFont()), 0);
        name = font.getTagObjectName("name");  // 21 installed bytes
        ASSERT_NE(name, nullptr);
    }
    // False, and no new table left behind (not even the one an earlier record built).
    void expectRefused(const PatchTable& table) {
        Record good({"name", 0, 0, 21, 0, false, {}, {}});
        ASSERT_TRUE(name->createUpdateTagObject(good.get()));
        Record record(table);
        EXPECT_FALSE(name->createUpdateTagObject(record.get()));
        EXPECT_EQ(name->getNewUpdateData(), nullptr);
    }
    OpenTypeManager font;
    TagObj* name = nullptr;
};

TEST_F(CopyBounds, SourcesOutsideTheInstalledTableAreRefused) {
    expectRefused({"name", 0, 0, 32, 0, true, {{0, 22, 0}}, {}});
    expectRefused({"name", 0, 0, 32, 0, true, {{21, 1, 0}}, {}});
    expectRefused({"name", 0, 0, 32, 0, true, {{0xFFFFFFFFu, 2, 0}}, {}});
    expectRefused({"name", 0, 0, 32, 0, true, {{1, 0xFFFFFFFFu, 0}}, {}});
    Record edge({"name", 0, 0, 32, 0, true, {{0, 21, 11}, {21, 0, 32}}, {}});
    EXPECT_TRUE(name->createUpdateTagObject(edge.get()));
    EXPECT_EQ(name->getNewUpdateData()[31], 0x30 + 20);
}

TEST_F(CopyBounds, TargetsOutsideTheNewTableAreRefused) {
    expectRefused({"name", 0, 0, 10, 0, true, {{0, 4, 7}}, {}});
    expectRefused({"name", 0, 0, 10, 0, true, {{0, 4, 0xFFFFFFFEu}}, {}});
    // Where the padding would hide it: 10 bytes round to 12, but byte 10 is not the table's.
    expectRefused({"name", 0, 0, 10, 0, true, {}, {{9, {1, 2}}}});
    expectRefused({"name", 0, 0, 10, 0, true, {}, {{0xFFFFFFFFu, {1}}}});
    // A valid copy before a bad one: nothing is written.
    expectRefused({"name", 0, 0, 10, 0, true, {{0, 4, 0}}, {{0, {7}}, {10, {1}}}});
}

TEST_F(CopyBounds, LengthsThatCannotBeRoundedAreRefused) {
    for (std::uint32_t length : {0x7FFFFFFDu, 0x80000000u, 0xFFFFFFFFu}) {
        Record record({"name", 0, 0, length, 0, true, {}, {}});
        EXPECT_FALSE(name->createUpdateTagObject(record.get())) << length;
    }
}

TEST(HostileFont, RandomByteFlipsOfFontAndPatchNeverCrash) {
    const Bytes fontBytes = smallFont();
    PatchLayout layout;
    layout.fontLength = 256;
    layout.tables.push_back({"head", 0, 0, 54, 48, false, {}, {}});
    layout.tables.push_back({"name", 1, 1, 30, 104, true, {{0, 10, 0}, {5, 16, 12}}, {{8, {1, 2, 3}}, {28, {4, 5}}}});
    layout.tables.push_back({"CFF ", 2, 2, 44, 136, true, {{0, 40, 4}}, {{0, {9, 9, 9, 9}}}});
    const Bytes patchBytes = buildPatch(layout);

    std::mt19937 rng(0xF0E7);
    int built = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes f = fontBytes;
        Bytes p = patchBytes;
        Bytes& target = round % 2 ? f : p;
        for (int flips = 1 + int(rng() % 3); flips > 0; --flips)
            target[rng() % std::min<std::size_t>(target.size(), 130)] = static_cast<std::uint8_t>(rng());

        OpenTypeManager font;
        if (load(font, f, f) != 0) continue;
        MakeSabunData patch;
        if (!patch.loadSabunBytes(p)) continue;
        for (std::int32_t slot = 0; slot < 256; ++slot) {
            const fr::SabunTagObject* record = patch.getSabunTagTableNum(slot);
            if (!record) continue;
            char tag[5] = {0, 0, 0, 0, 0};
            record->getTagName(tag);
            TagObj* table = font.getTagObjectName(tag);
            // A table of hundreds of megabytes is legal, only slow to zero: leave it out.
            if (record->getUpdateTagTable().up_datalength > (1u << 20)) continue;
            if (!table || !table->createUpdateTagObject(*record)) continue;
            ++built;
            const std::uint8_t* data = table->getNewUpdateData();
            std::uint32_t sum = 0;
            for (std::int32_t i = 0; i <= table->getByte4Length(); ++i) sum += data[i];
            (void)sum;
        }
    }
    EXPECT_GT(built, 0);
}

}  // namespace
