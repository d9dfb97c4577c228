// The table directory model: loading the installed directory, building new tables from
// patch records, and the lookups.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/MakeSabunData.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

using namespace testsupport;
using fr::MakeSabunData;
using fr::OpenTypeManager;
using fr::TagObj;

namespace {

// A manager loaded the way the revision loads an installed font.
std::int32_t load(OpenTypeManager& font, const Bytes& bytes) {
    font.setReadData(bytes);
    if (!OpenTypeManager::checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), font.m_sfntHead))
        return -1;
    return font.buildTagObjects();
}

// One patch record, loaded through the real loader.
struct Record {
    MakeSabunData patch;
    std::int32_t slot;
    const fr::SabunTagObject& get() const { return *patch.getSabunTagTableNum(slot); }
    explicit Record(const PatchTable& table) : slot(table.tablePos) {
        PatchLayout layout;
        layout.tables.push_back(table);
        if (!patch.loadSabunBytes(buildPatch(layout))) throw std::runtime_error("patch did not load");
    }
};

std::string tagOf(const TagObj& t) {
    char name[5] = {'x', 'x', 'x', 'x', 'x'};
    t.getTagName(name);
    return name;
}

TEST(TableModel, FourteenTablesLoadInDirectoryOrder) {
    const char* tags[] = {"CFF ", "GPOS", "GSUB", "OS/2", "VORG", "cmap", "head",
                          "hhea", "hmtx", "maxp", "name", "post", "vhea", "vmtx"};
    std::vector<Table> tables;
    for (int i = 0; i < 14; ++i) tables.push_back({tags[i], counting(5 + 3 * i, std::uint8_t(i * 16))});
    const Bytes bytes = buildSfnt(tables);

    OpenTypeManager font;
    EXPECT_EQ(font.getObjectType(), 0);
    ASSERT_EQ(load(font, bytes), 0);
    EXPECT_EQ(font.m_fileLength, static_cast<std::int32_t>(bytes.size()));
    ASSERT_EQ(font.m_TagArray.size(), 14u);
    for (int i = 0; i < 14; ++i) {
        const TagObj& t = *font.getTagObjectIndex(i);
        EXPECT_EQ(t.getObjectType(), 2);
        EXPECT_EQ(tagOf(t), tags[i]);
        const fr::_TableList record = t.getTableList();
        const std::size_t at = 12 + 16 * std::size_t(i);
        EXPECT_EQ(std::memcmp(record.tag, tags[i], 4), 0);
        EXPECT_EQ(record.checksum, getU32(bytes, at + 4));
        EXPECT_EQ(record.offset, getU32(bytes, at + 8));
        EXPECT_EQ(record.length, 5u + 3u * i);
        EXPECT_EQ(t.installedTable().data(), font.m_pReadData.data() + record.offset);
        EXPECT_EQ(t.installedTable().size(), record.length);
        EXPECT_EQ(t.getByte4Length(), fr::CommonTool::byte4_chk(std::int32_t(record.length)));
    }
    EXPECT_EQ(font.getTagObjectIndex(14), nullptr);
    EXPECT_EQ(font.getTagObjectIndex(-1), nullptr);
}

TEST(TableModel, TagsOutsideTheAcceptedListFailTheLoad) {
    for (const char* stranger : {"DSIG", "cff ", "Head", "CFF\0", "\0\0\0\0"}) {
        const Bytes bytes = buildSfnt({{"head", headTable(0x80000)}, {std::string(stranger, 4), counting(8, 0)}});
        OpenTypeManager font;
        EXPECT_EQ(load(font, bytes), 2) << std::string(stranger, 4);
    }
    for (const char* accepted : fr::kAcceptedTags) {
        OpenTypeManager font;
        EXPECT_EQ(load(font, buildSfnt({{accepted, counting(4, 0)}})), 0) << accepted;
    }
}

TEST(TableModel, NoTablesGivesAnEmptyModel) {
    OpenTypeManager font;
    EXPECT_EQ(load(font, buildSfnt({})), 0);
    EXPECT_TRUE(font.m_TagArray.empty());
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
}

TEST(TableModel, LookupByTagTakesTheFirstInDirectoryOrder) {
    const Bytes bytes = buildSfnt({{"head", counting(8, 1)}, {"cmap", counting(8, 2)}, {"head", counting(12, 3)}});
    OpenTypeManager font;
    ASSERT_EQ(load(font, bytes), 0);
    EXPECT_EQ(font.getTagObjectName("head"), font.getTagObjectIndex(0));
    EXPECT_EQ(font.getTagObjectName("cmap"), font.getTagObjectIndex(1));
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
    EXPECT_EQ(font.getTagObjectName("HEAD"), nullptr);
    EXPECT_EQ(font.getTagObjectName("hea"), nullptr);
}

TEST(TableModel, NewBytesReplaceTheModel) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"head", counting(8, 1)}})), 0);
    font.setReadData(buildSfnt({}));
    EXPECT_TRUE(font.m_TagArray.empty());  // its tables pointed into the old bytes
}

TEST(NewTable, UnchangedTableOfLengthFiveIsPaddedWithZeros) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"post", {1, 2, 3, 4, 5}}})), 0);
    TagObj& post = *font.getTagObjectName("post");
    EXPECT_EQ(post.getByte4Length(), 8);

    Record record({"post", 3, 9, 5, 4096, false, {}, {}});
    ASSERT_TRUE(post.createUpdateTagObject(record.get()));
    EXPECT_EQ(post.getByte4Length(), 8);
    EXPECT_EQ(post.getTableNum(), 3);
    const std::uint8_t* data = post.getNewUpdateData();
    EXPECT_EQ(std::memcmp(data, "\1\2\3\4\5\0\0\0\0", 9), 0);  // nine bytes, the last four zero
    const fr::_TableList made = post.getNewTableList();
    EXPECT_EQ(std::memcmp(made.tag, "post", 4), 0);
    EXPECT_EQ(made.length, 5u);
    EXPECT_EQ(made.offset, 4096u);  // the patch's place, the installed bytes
    EXPECT_EQ(made.checksum, 0x01020304u + 0x05000000u);
}

TEST(NewTable, UnchangedTableWithAnotherLengthIsRefused) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"post", {1, 2, 3, 4, 5}}})), 0);
    TagObj& post = *font.getTagObjectName("post");
    EXPECT_FALSE(post.createUpdateTagObject(Record({"post", 0, 0, 6, 0, false, {}, {}}).get()));
    EXPECT_FALSE(post.createUpdateTagObject(Record({"post", 0, 0, 4, 0, false, {}, {}}).get()));
}

TEST(NewTable, NewDataWinsOverOldCopiesAndGapsStayZero) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"GSUB", counting(16, 0x10)}})), 0);
    TagObj& gsub = *font.getTagObjectName("GSUB");
    // Old: installed 0..5 to 0, installed 8..11 to 4 (overlapping the first copy's tail:
    // the later copy wins). New: AA BB at 2 over the copies; 14 and 15 stay zero.
    Record record({"GSUB", 1, 0, 18, 64, true, {{0, 6, 0}, {8, 4, 4}}, {{2, {0xAA, 0xBB}}, {16, {0xCC, 0xDD}}}});
    ASSERT_TRUE(gsub.createUpdateTagObject(record.get()));
    const Bytes expected = {0x10, 0x11, 0xAA, 0xBB, 0x18, 0x19, 0x1A, 0x1B, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xDD};
    EXPECT_EQ(Bytes(gsub.getNewUpdateData(), gsub.getNewUpdateData() + 18), expected);
    EXPECT_EQ(gsub.getByte4Length(), 20);
    EXPECT_EQ(gsub.getNewUpdateData()[18], 0);
    EXPECT_EQ(gsub.getNewUpdateData()[19], 0);
    EXPECT_EQ(gsub.getNewUpdateData()[20], 0);
    const fr::_TableList made = gsub.getNewTableList();
    EXPECT_EQ(made.length, 18u);
    EXPECT_EQ(made.offset, 64u);
    EXPECT_EQ(made.checksum, fr::CommonTool::calcTableCheckSum(gsub.getNewUpdateData(), 20));
}

TEST(NewTable, EmptyBlockGivesAnAllZeroTable) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"VORG", counting(8, 0x40)}})), 0);
    TagObj& vorg = *font.getTagObjectName("VORG");
    ASSERT_TRUE(vorg.createUpdateTagObject(Record({"VORG", 0, 0, 11, 0, true, {}, {}}).get()));
    EXPECT_EQ(Bytes(vorg.getNewUpdateData(), vorg.getNewUpdateData() + 13), Bytes(13, 0));
    EXPECT_EQ(vorg.getNewTableList().checksum, 0u);
}

TEST(NewTable, ASecondBuildReplacesTheFirst) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"cmap", counting(8, 0x20)}})), 0);
    TagObj& cmap = *font.getTagObjectName("cmap");
    ASSERT_TRUE(cmap.createUpdateTagObject(Record({"cmap", 0, 0, 40, 100, true, {}, {{36, {9, 9, 9, 9}}}}).get()));
    ASSERT_TRUE(cmap.createUpdateTagObject(Record({"cmap", 5, 0, 8, 200, false, {}, {}}).get()));
    EXPECT_EQ(cmap.getByte4Length(), 8);
    EXPECT_EQ(cmap.getTableNum(), 5);
    EXPECT_EQ(Bytes(cmap.getNewUpdateData(), cmap.getNewUpdateData() + 9), (Bytes{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0}));
    EXPECT_EQ(cmap.getNewTableList().offset, 200u);
    EXPECT_EQ(cmap.getNewTableList().length, 8u);
}

TEST(SfntHeader, ReadsTheOffsetTable) {
    const Bytes bytes = buildSfnt({{"head", headTable(0x80000)}, {"name", counting(6, 0)}, {"cmap", counting(4, 0)}});
    fr::_sfntHeader head;
    ASSERT_TRUE(OpenTypeManager::checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), head));
    EXPECT_EQ(std::memcmp(&head.version, "OTTO", 4), 0);
    EXPECT_EQ(head.numTables, 3);
    EXPECT_EQ(head.searchRange, 32);
    EXPECT_EQ(head.entrySelector, 1);
    EXPECT_EQ(head.rangeShift, 16);
}

TEST(SfntHeader, OtherOutlinesFillTheRecordButFail) {
    Bytes bytes = buildSfnt({{"head", headTable(0x80000)}}, std::string("\0\1\0\0", 4));
    fr::_sfntHeader head;
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), head));
    EXPECT_EQ(std::memcmp(&head.version, "\0\1\0\0", 4), 0);
    EXPECT_EQ(head.numTables, 1);
    for (const char* other : {"ttcf", "true", "OTT\0", "otto"}) {
        std::memcpy(bytes.data(), other, 4);
        EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(bytes, 12, head)) << other;
    }
}

TEST(SfntHeader, ShortBytesLeaveTheRecordAlone) {
    const Bytes twelve = buildSfnt({});
    ASSERT_EQ(twelve.size(), 12u);
    fr::_sfntHeader head;
    head.numTables = 77;
    const Bytes eleven(twelve.begin(), twelve.begin() + 11);
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(eleven, 11, head));
    // A stated length beyond the bytes held is not believed.
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(eleven, 1000, head));
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(twelve, 11, head));
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(twelve, -12, head));
    EXPECT_EQ(head.numTables, 77);
    EXPECT_TRUE(OpenTypeManager::checkOpenTypeHeader(twelve, 12, head));
    EXPECT_EQ(head.numTables, 0);
}

}  // namespace
