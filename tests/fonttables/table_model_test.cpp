// The installed font's table model: loading its directory, the lookups, and the License
// Description strings the revision reads before it builds the new font.

#include "fonttables/InstalledFont.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace testsupport;
using fr::InstalledFont;
using fr::TagObj;

namespace {

bool load(InstalledFont& font, const Bytes& bytes) {
    return font.load(std::make_unique<platform::BytesInMemory>(bytes));
}

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

    InstalledFont font;
    ASSERT_TRUE(load(font, bytes));
    EXPECT_EQ(font.bytes().size(), bytes.size());
    ASSERT_EQ(font.tables().size(), 14u);
    for (int i = 0; i < 14; ++i) {
        const TagObj& t = *font.getTagObjectIndex(i);
        EXPECT_EQ(tagOf(t), tags[i]);
        const fr::_TableList record = t.getTableList();
        const std::size_t at = 12 + 16 * std::size_t(i);
        EXPECT_EQ(std::memcmp(record.tag, tags[i], 4), 0);
        EXPECT_EQ(record.checksum, getU32(bytes, at + 4));
        EXPECT_EQ(record.offset, getU32(bytes, at + 8));
        EXPECT_EQ(record.length, 5u + 3u * i);
        // The installed table is read where it lies.
        EXPECT_EQ(t.installedTable(),
                  Bytes(bytes.begin() + record.offset, bytes.begin() + record.offset + record.length));
    }
    EXPECT_EQ(font.getTagObjectIndex(14), nullptr);
    EXPECT_EQ(font.getTagObjectIndex(-1), nullptr);
}

TEST(TableModel, TagsOutsideTheAcceptedListFailTheLoad) {
    for (const char* stranger : {"DSIG", "cff ", "Head", "CFF\0", "\0\0\0\0"}) {
        const Bytes bytes = buildSfnt({{"head", headTable(0x80000)}, {std::string(stranger, 4), counting(8, 0)}});
        InstalledFont font;
        EXPECT_FALSE(load(font, bytes)) << std::string(stranger, 4);
    }
    for (const char* accepted : fr::kAcceptedTags) {
        InstalledFont font;
        EXPECT_TRUE(load(font, buildSfnt({{accepted, counting(4, 0)}}))) << accepted;
    }
}

TEST(TableModel, NoTablesGivesAnEmptyModel) {
    InstalledFont font;
    EXPECT_TRUE(load(font, buildSfnt({})));
    EXPECT_EQ(font.tables().size(), 0u);
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
}

TEST(TableModel, LookupByTagTakesTheFirstInDirectoryOrder) {
    const Bytes bytes = buildSfnt({{"head", counting(8, 1)}, {"cmap", counting(8, 2)}, {"head", counting(12, 3)}});
    InstalledFont font;
    ASSERT_TRUE(load(font, bytes));
    EXPECT_EQ(font.getTagObjectName("head"), font.getTagObjectIndex(0));
    EXPECT_EQ(font.getTagObjectName("cmap"), font.getTagObjectIndex(1));
    EXPECT_EQ(font.getTagObjectName("name"), nullptr);
    EXPECT_EQ(font.getTagObjectName("HEAD"), nullptr);
    EXPECT_EQ(font.getTagObjectName("hea"), nullptr);
}

TEST(TableModel, NewBytesReplaceTheModel) {
    InstalledFont font;
    ASSERT_TRUE(load(font, buildSfnt({{"head", counting(8, 1)}})));
    ASSERT_TRUE(load(font, buildSfnt({})));
    EXPECT_EQ(font.tables().size(), 0u);  // its tables pointed into the old bytes
}

const Bytes kMacSerial = bytesOf("SER-0042-AB");          // 11 bytes
const Bytes kWinSerial = utf16be("SERIAL-WINDOWS-0042");  // 38 bytes

Bytes installedFont(const std::vector<NameRecord>& names) {
    return buildSfnt({{"head", headTable(0x00080000)}, {"name", nameTable(names)}});
}

Bytes field(const Bytes& s) {
    Bytes f(255, 0);
    std::copy(s.begin(), s.end(), f.begin());
    return f;
}

TEST(GetSerialNumber, TakesTheFirstMacintoshAndTheUSEnglishWindowsString) {
    InstalledFont m;
    ASSERT_TRUE(load(m, installedFont({{1, 0, 0, 4, bytesOf("Full")},
                                       {3, 1, 0x0411, 13, utf16be("JAPANESE")},
                                       {1, 0, 0, 13, kMacSerial},
                                       {3, 1, 0x0409, 13, kWinSerial},
                                       {1, 0, 0, 13, bytesOf("second mac")}})));
    std::array<std::uint8_t, 255> mac{}, win{};
    ASSERT_TRUE(m.getSerialNumber(mac, win));
    EXPECT_EQ(Bytes(mac.begin(), mac.end()), field(kMacSerial));
    EXPECT_EQ(Bytes(win.begin(), win.end()), field(kWinSerial));
}

TEST(GetSerialNumber, RefusesFontsWhoseStringsAreMissingOrUnusable) {
    std::array<std::uint8_t, 255> mac{}, win{};
    {
        SCOPED_TRACE("Windows string only in Japanese");
        InstalledFont m;
        ASSERT_TRUE(load(m, installedFont({{1, 0, 0, 13, kMacSerial}, {3, 1, 0x0411, 13, kWinSerial}})));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("no 'name' table");
        InstalledFont m;
        ASSERT_TRUE(load(m, buildSfnt({{"head", headTable(0x00080000)}})));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("no records");
        InstalledFont m;
        ASSERT_TRUE(load(m, installedFont({})));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("a string longer than its 255-byte field");
        InstalledFont m;
        ASSERT_TRUE(load(m, installedFont({{1, 0, 0, 13, Bytes(256, 'x')}, {3, 1, 0x0409, 13, kWinSerial}})));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("a string that runs out of the table");
        Bytes font = installedFont({{1, 0, 0, 13, kMacSerial}, {3, 1, 0x0409, 13, kWinSerial}});
        const std::uint32_t nameAt = getU32(font, 12 + 16 + 8);
        putU16(font, nameAt + 6 + 12 + 10, 0x7000);  // the Windows record's string offset
        InstalledFont m;
        ASSERT_TRUE(load(m, font));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
}

}  // namespace
