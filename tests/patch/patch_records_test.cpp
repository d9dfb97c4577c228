// Loading a patch into its records: header, table records, instruction blocks.

#include "patch/MakeSabunData.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace testsupport;
using fr::MakeSabunData;
using fr::SabunTagObject;

namespace {

constexpr std::size_t kRecordsAt = 53;

std::string tagOf(const SabunTagObject& record) {
    char name[5] = {'x', 'x', 'x', 'x', 'x'};
    record.getTagName(name);
    return std::string(name);
}

// A patch of one changed table whose instruction block is `block`, placed right after the
// header and the record.
Bytes patchWithBlock(const Bytes& block, std::uint32_t up_datalength = 64) {
    PatchLayout layout;
    layout.tables.push_back({"GSUB", 0, 0, up_datalength, 100, false, {}, {}});
    Bytes patch = buildPatch(layout);
    putU32(patch, kRecordsAt + 6, static_cast<std::uint32_t>(patch.size()));
    patch.insert(patch.end(), block.begin(), block.end());
    return patch;
}

// The records are packed as stored, so their numbers are copied out before comparing.
TEST(PatchLoad, HeaderIsKeptWithNumbersInHostOrder) {
    PatchLayout layout;
    layout.fontName = "Velmora-W9";
    layout.fontVersion = 0x01020304;
    layout.fontLength = 0x00ABCDEF;
    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunBytes(buildPatch(layout)));
    const auto header = patch.getUpdateHeader();
    EXPECT_EQ(std::memcmp(header.font_header, "SBDF", 4), 0);
    EXPECT_EQ(std::string(header.font_name, 10), "Velmora-W9");
    EXPECT_EQ(header.font_name[10], 0);
    EXPECT_EQ(std::uint32_t{header.font_version}, 0x01020304u);
    EXPECT_EQ(std::uint32_t{header.font_length}, 0x00ABCDEFu);
    EXPECT_EQ(header.tagNum, 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(header.createtime[i], i + 1);
    EXPECT_EQ(patch.getSabunTagTableNum(0), nullptr);
}

TEST(PatchLoad, RecordsKeepFileOrderAndAreFoundBySlot) {
    PatchLayout layout;
    layout.tables.push_back({"CFF ", 2, 7, 10, 300, false, {}, {}});
    layout.tables.push_back({"head", 0, 1, 54, 200, false, {}, {}});
    layout.tables.push_back({"name", 1, 2, 20, 260, false, {}, {}});
    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunBytes(buildPatch(layout)));

    const SabunTagObject* cff = patch.getSabunTagTableNum(2);
    ASSERT_NE(cff, nullptr);
    EXPECT_EQ(tagOf(*cff), "CFF ");  // trailing space kept
    const auto table = cff->getUpdateTagTable();
    EXPECT_EQ(table.dataPos, 7);
    EXPECT_EQ(std::uint32_t{table.sabunOffset}, 0u);
    EXPECT_EQ(std::uint32_t{table.up_datalength}, 10u);
    EXPECT_EQ(std::uint32_t{table.up_dataOffset}, 300u);
    EXPECT_FALSE(cff->isUpdateFlag());
    EXPECT_EQ(cff->getOldCopyArraySize(), 0);
    EXPECT_EQ(cff->getNewCopyArraySize(), 0);

    ASSERT_NE(patch.getSabunTagTableNum(0), nullptr);
    EXPECT_EQ(tagOf(*patch.getSabunTagTableNum(0)), "head");
    EXPECT_EQ(patch.getSabunTagTableNum(3), nullptr);
    EXPECT_EQ(patch.getSabunTagTableNum(-1), nullptr);
    EXPECT_EQ(patch.getSabunTagTableNum(256), nullptr);
}

TEST(PatchLoad, EmptyAndShortFilesFail) {
    MakeSabunData patch;
    EXPECT_FALSE(patch.loadSabunBytes({}));
    EXPECT_FALSE(patch.loadSabunBytes(Bytes(52, 0)));
    EXPECT_TRUE(patch.loadSabunBytes(Bytes(53, 0)));  // a header with no records
}

TEST(PatchLoad, AnotherLoadReplacesTheRecords) {
    PatchLayout one;
    one.tables.push_back({"head", 0, 0, 54, 200, false, {}, {}});
    PatchLayout two;
    two.tables.push_back({"name", 0, 0, 20, 260, false, {}, {}});
    two.tables.push_back({"post", 1, 0, 32, 280, false, {}, {}});
    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunBytes(buildPatch(one)));
    ASSERT_TRUE(patch.loadSabunBytes(buildPatch(two)));
    EXPECT_EQ(tagOf(*patch.getSabunTagTableNum(0)), "name");
    EXPECT_EQ(tagOf(*patch.getSabunTagTableNum(1)), "post");
}

TEST(InstructionBlock, EmptyBlockMarksTheTableChanged) {
    Bytes block;
    appendU32(block, 0);
    appendU32(block, 0);
    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunBytes(patchWithBlock(block)));
    const SabunTagObject* record = patch.getSabunTagTableNum(0);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->isUpdateFlag());
    EXPECT_EQ(record->getOldCopyArraySize(), 0);
    EXPECT_EQ(record->getNewCopyArraySize(), 0);
}

TEST(InstructionBlock, PositionsOfOneCopyAndTwoDataInstructions) {
    // M = 1, K = 2, first data length 5: the copy at 4/8/12, K at 16, the first head at
    // 20/24 with its data from 28, the second head at 33.
    Bytes block;
    appendU32(block, 1);
    appendU32(block, 0x11), appendU32(block, 0x22), appendU32(block, 0x33);
    appendU32(block, 2);
    appendU32(block, 0x44), appendU32(block, 5);
    for (std::uint8_t b : {1, 2, 3, 4, 5}) block.push_back(b);
    ASSERT_EQ(block.size(), 33u);
    appendU32(block, 0x55), appendU32(block, 3);
    for (std::uint8_t b : {9, 8, 7}) block.push_back(b);

    SabunTagObject record;
    record.setTagTableData("GSUB", 0, 0, 100, 64, 100);
    ASSERT_TRUE(record.setOldNewData(block));
    ASSERT_EQ(record.getOldCopyArraySize(), 1);
    const auto copy = record.getOldTagObject(0)->getOldFontStruct();
    EXPECT_EQ(copy.src_offset, 0x11u);
    EXPECT_EQ(copy.src_length, 0x22u);
    EXPECT_EQ(copy.dst_offset, 0x33u);

    ASSERT_EQ(record.getNewCopyArraySize(), 2);
    const fr::NewTagObject first = *record.getNewTagObject(0);
    EXPECT_EQ(first.getNewStructFont().offset, 0x44u);
    EXPECT_EQ(first.getNewStructFont().length, 5u);
    EXPECT_EQ(std::memcmp(first.getData(), "\1\2\3\4\5", 5), 0);
    EXPECT_EQ(first.getChkSum(), 0x06020304u);  // 01020304 + 05000000
    const fr::NewTagObject second = *record.getNewTagObject(1);
    EXPECT_EQ(second.getNewStructFont().offset, 0x55u);
    EXPECT_EQ(second.getNewStructFont().length, 3u);
    EXPECT_EQ(second.getChkSum(), 0x09080700u);

    EXPECT_FALSE(record.getOldTagObject(1));
    EXPECT_FALSE(record.getNewTagObject(2));
    EXPECT_FALSE(record.getNewTagObject(-1));
}

TEST(InstructionBlock, TwoCopiesPutTheDataCountAt28AndEmptyDataTakesEightBytes) {
    PatchTable table{"OS/2", 0, 0, 96, 12, true, {{0, 4, 0}, {8, 4, 4}}, {{16, {}}, {20, {0xAB}}}};
    PatchLayout layout;
    layout.tables.push_back(table);
    const Bytes bytes = buildPatch(layout);
    const std::size_t block = kRecordsAt + 18;
    ASSERT_EQ(getU32(bytes, block + 28), 2u);  // K, as written by the builder

    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunBytes(bytes));
    const SabunTagObject& record = *patch.getSabunTagTableNum(0);
    ASSERT_EQ(record.getOldCopyArraySize(), 2);
    EXPECT_EQ(record.getOldTagObject(1)->getOldFontStruct().src_offset, 8u);
    ASSERT_EQ(record.getNewCopyArraySize(), 2);
    const fr::NewTagObject empty = *record.getNewTagObject(0);
    EXPECT_EQ(empty.getNewStructFont().length, 0u);
    EXPECT_EQ(empty.getChkSum(), 0u);
    EXPECT_EQ(record.getNewTagObject(1)->getNewStructFont().offset, 20u);
    EXPECT_EQ(record.getNewTagObject(1)->getData()[0], 0xAB);
}

}  // namespace
