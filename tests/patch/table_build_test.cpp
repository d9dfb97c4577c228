// A table of the new font built from the installed table and its patch record: the order of
// copies and new data, and records that lie about where their bytes are.

#include "fonttables/InstalledFont.h"
#include "patch/MakeSabunData.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>

using namespace testsupport;
using fr::InstalledFont;
using fr::MakeSabunData;
using fr::TagObj;

namespace {

bool load(InstalledFont& font, const Bytes& bytes) {
    return font.load(std::make_unique<platform::BytesInMemory>(bytes));
}

// One patch record, loaded through the real loader.
struct Record {
    MakeSabunData patch;
    std::int32_t slot;
    const fr::SabunTagObject& get() const { return *patch.getSabunTagTableNum(slot); }
    explicit Record(const PatchTable& table) : slot(table.tablePos) {
        // Records of other tables fill the slots before this one: a patch names every slot.
        PatchLayout layout;
        for (std::uint8_t k = 0; k < table.tablePos; ++k)
            layout.tables.push_back(placed(("x00" + std::to_string(k)).c_str(), k, 0, 0));
        layout.tables.push_back(table);
        if (!patch.loadSabunBytes(buildPatch(layout))) throw std::runtime_error("patch did not load");
    }
};

Bytes smallFont() {
    return buildSfnt({{"head", headTable(0x80000)}, {"name", counting(21, 0x30)}, {"CFF ", counting(40, 0x80)}});
}

// Builds the record's table into `out`, made the new table's length and zero first. The same
// table written a piece at a time into a new file comes out byte for byte the same, or is
// refused alike.
bool build(TagObj& table, const fr::SabunTagObject& record, Bytes& out) {
    const auto placed = record.getUpdateTagTable();
    platform::NewFileInMemory file(std::uint64_t{placed.up_dataOffset} + placed.up_datalength);
    const bool streamed = table.writeUpdateTagObject(record, file) == TagObj::Written::Done;
    out.assign(placed.up_datalength, 0);
    const bool built = table.createUpdateTagObject(record, out);
    EXPECT_EQ(streamed, built);
    Bytes written(placed.up_datalength);
    if (built && streamed) {
        EXPECT_TRUE(file.readAt(placed.up_dataOffset, written));
        EXPECT_EQ(written, out);
    }
    return built;
}
bool build(TagObj& table, const Record& record, Bytes& out) { return build(table, record.get(), out); }

TEST(NewTable, UnchangedTableIsCopiedWholeAndSummedWithZeroPadding) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"post", {1, 2, 3, 4, 5}}})));
    TagObj& post = *font.getTagObjectName("post");

    Bytes out;
    ASSERT_TRUE(build(post, Record({"post", 3, 9, 5, 4096, false, {}, {}}), out));
    EXPECT_EQ(post.getTableNum(), 3);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(post.getNewUpdateData(), out.data());
    const fr::_TableList made = post.getNewTableList();
    EXPECT_EQ(std::memcmp(made.tag, "post", 4), 0);
    EXPECT_EQ(made.length, 5u);
    EXPECT_EQ(made.offset, 4096u);  // the patch's place, the installed bytes
    EXPECT_EQ(made.checksum, 0x01020304u + 0x05000000u);
}

TEST(NewTable, UnchangedTableWithAnotherLengthIsRefused) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"post", {1, 2, 3, 4, 5}}})));
    TagObj& post = *font.getTagObjectName("post");
    Bytes out;
    EXPECT_FALSE(build(post, Record({"post", 0, 0, 6, 0, false, {}, {}}), out));
    EXPECT_FALSE(build(post, Record({"post", 0, 0, 4, 0, false, {}, {}}), out));
}

TEST(NewTable, NewDataWinsOverOldCopiesAndGapsStayZero) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"GSUB", counting(16, 0x10)}})));
    TagObj& gsub = *font.getTagObjectName("GSUB");
    // Old: installed 0..5 to 0, installed 8..11 to 4 (overlapping the first copy's tail:
    // the later copy wins). New: AA BB at 2 over the copies; 14 and 15 stay zero.
    Bytes out;
    ASSERT_TRUE(build(
        gsub, Record({"GSUB", 1, 0, 18, 64, true, {{0, 6, 0}, {8, 4, 4}}, {{2, {0xAA, 0xBB}}, {16, {0xCC, 0xDD}}}}),
        out));
    const Bytes expected = {0x10, 0x11, 0xAA, 0xBB, 0x18, 0x19, 0x1A, 0x1B, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xDD};
    EXPECT_EQ(out, expected);
    const fr::_TableList made = gsub.getNewTableList();
    EXPECT_EQ(made.length, 18u);
    EXPECT_EQ(made.offset, 64u);
    EXPECT_EQ(made.checksum, paddedSum(expected));
}

TEST(NewTable, EmptyBlockGivesAnAllZeroTable) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"VORG", counting(8, 0x40)}})));
    TagObj& vorg = *font.getTagObjectName("VORG");
    Bytes out;
    ASSERT_TRUE(build(vorg, Record({"VORG", 0, 0, 11, 0, true, {}, {}}), out));
    EXPECT_EQ(out, Bytes(11, 0));
    EXPECT_EQ(vorg.getNewTableList().checksum, 0u);
}

TEST(NewTable, ASecondBuildReplacesTheFirst) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"cmap", counting(8, 0x20)}})));
    TagObj& cmap = *font.getTagObjectName("cmap");
    Bytes first, second;
    ASSERT_TRUE(build(cmap, Record({"cmap", 0, 0, 40, 100, true, {}, {{36, {9, 9, 9, 9}}}}), first));
    ASSERT_TRUE(build(cmap, Record({"cmap", 5, 0, 8, 200, false, {}, {}}), second));
    EXPECT_EQ(cmap.getTableNum(), 5);
    EXPECT_EQ(cmap.getNewUpdateData(), second.data());
    EXPECT_EQ(second, (Bytes{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27}));
    EXPECT_EQ(cmap.getNewTableList().offset, 200u);
    EXPECT_EQ(cmap.getNewTableList().length, 8u);
}

class CopyBounds : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(load(font, smallFont()));
        name = font.getTagObjectName("name");  // 21 installed bytes
        ASSERT_NE(name, nullptr);
    }
    // False, nothing written, and no new table left behind (not even the one an earlier
    // record built).
    void expectRefused(const PatchTable& table) {
        Bytes out;
        ASSERT_TRUE(build(*name, Record({"name", 0, 0, 21, 0, false, {}, {}}), out));
        EXPECT_FALSE(build(*name, Record(table), out));
        EXPECT_EQ(out, Bytes(table.up_datalength, 0));
        EXPECT_EQ(name->getNewUpdateData(), nullptr);
    }
    InstalledFont font;
    TagObj* name = nullptr;
};

TEST_F(CopyBounds, SourcesOutsideTheInstalledTableAreRefused) {
    expectRefused({"name", 0, 0, 32, 0, true, {{0, 22, 0}}, {}});
    expectRefused({"name", 0, 0, 32, 0, true, {{21, 1, 0}}, {}});
    expectRefused({"name", 0, 0, 32, 0, true, {{0xFFFFFFFFu, 2, 0}}, {}});
    Bytes out;
    EXPECT_TRUE(build(*name, Record({"name", 0, 0, 32, 0, true, {{0, 21, 11}, {21, 0, 32}}, {}}), out));
    EXPECT_EQ(out[31], 0x30 + 20);
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

// Copies and new data over one another in every order: the table written a piece at a time is
// the one built in memory.
TEST(NewTable, OverlappingInstructionsWriteTheTableBuiltInMemory) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"CFF ", counting(96, 0x10)}})));
    TagObj& cff = *font.getTagObjectName("CFF ");
    std::mt19937 rng(0x5EED);
    for (int round = 0; round < 400; ++round) {
        const std::uint32_t length = 12 + rng() % 120;
        PatchTable table{"CFF ", 0, 0, length, 8, true, {}, {}};
        // The instructions together write no more than the table holds, as a patch must.
        std::uint32_t budget = length - 12;
        for (int k = int(rng() % 7); k > 0; --k) {
            const std::uint32_t n = std::min<std::uint32_t>(budget, rng() % 40), src = rng() % (96 - n + 1);
            budget -= n;
            table.olds.push_back({src, n, static_cast<std::uint32_t>(rng() % (length - n + 1))});
        }
        for (int k = int(rng() % 5); k > 0; --k) {
            Bytes data(std::min<std::uint32_t>(budget, rng() % 12));
            budget -= static_cast<std::uint32_t>(data.size());
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
            table.news.push_back({static_cast<std::uint32_t>(rng() % (length - data.size() + 1)), data});
        }
        Bytes out;
        EXPECT_TRUE(build(cff, Record(table), out)) << round;
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

        InstalledFont font;
        if (!load(font, f)) continue;
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
            Bytes out;
            if (!table || !build(*table, *record, out)) continue;
            ++built;
        }
    }
    EXPECT_GT(built, 0);
}

}  // namespace
