// The table directory model: loading the installed directory, building new tables from
// patch records, and the lookups.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace testsupport;
using fr::OpenTypeManager;
using fr::TagObj;

namespace {

// A manager loaded the way the revision loads an installed font.
std::int32_t load(OpenTypeManager& font, const Bytes& bytes) { return font.loadInstalledFont(bytes); }

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
    ASSERT_EQ(load(font, bytes), fr::result::kRevised);
    EXPECT_EQ(font.installedFont().size(), bytes.size());
    ASSERT_EQ(font.tableCount(), 14u);
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
        // The installed table is read where it lies.
        EXPECT_EQ(t.installedTable(), Bytes(bytes.begin() + record.offset, bytes.begin() + record.offset + record.length));
        EXPECT_EQ(t.getByte4Length(), fr::CommonTool::byte4_chk(std::int32_t(record.length)));
    }
    EXPECT_EQ(font.getTagObjectIndex(14), nullptr);
    EXPECT_EQ(font.getTagObjectIndex(-1), nullptr);
}

TEST(TableModel, TagsOutsideTheAcceptedListFailTheLoad) {
    for (const char* stranger : {"DSIG", "cff ", "Head", "CFF\0", "\0\0\0\0"}) {
        const Bytes bytes = buildSfnt({{"head", headTable(0x80000)}, {std::string(stranger, 4), counting(8, 0)}});
        OpenTypeManager font;
        EXPECT_EQ(load(font, bytes), fr::result::kFontUnusable) << std::string(stranger, 4);
    }
    for (const char* accepted : fr::kAcceptedTags) {
        OpenTypeManager font;
        EXPECT_EQ(load(font, buildSfnt({{accepted, counting(4, 0)}})), fr::result::kRevised) << accepted;
    }
}

TEST(TableModel, NoTablesGivesAnEmptyModel) {
    OpenTypeManager font;
    EXPECT_EQ(load(font, buildSfnt({})), fr::result::kRevised);
    EXPECT_EQ(font.tableCount(), 0u);
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
}

TEST(TableModel, LookupByTagTakesTheFirstInDirectoryOrder) {
    const Bytes bytes = buildSfnt({{"head", counting(8, 1)}, {"cmap", counting(8, 2)}, {"head", counting(12, 3)}});
    OpenTypeManager font;
    ASSERT_EQ(load(font, bytes), fr::result::kRevised);
    EXPECT_EQ(font.getTagObjectName("head"), font.getTagObjectIndex(0));
    EXPECT_EQ(font.getTagObjectName("cmap"), font.getTagObjectIndex(1));
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
    EXPECT_EQ(font.getTagObjectName("HEAD"), nullptr);
    EXPECT_EQ(font.getTagObjectName("hea"), nullptr);
}

TEST(TableModel, NewBytesReplaceTheModel) {
    OpenTypeManager font;
    ASSERT_EQ(load(font, buildSfnt({{"head", counting(8, 1)}})), fr::result::kRevised);
    ASSERT_EQ(load(font, buildSfnt({})), fr::result::kRevised);
    EXPECT_EQ(font.tableCount(), 0u);  // its tables pointed into the old bytes
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
