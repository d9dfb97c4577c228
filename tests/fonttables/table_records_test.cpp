// The one place that reads the offset table, the table directory and the name table: each
// read yields nothing where the bytes it needs are not all there.

#include "fonttables/NameTable.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

using namespace testsupport;
using fr::Tag;

namespace {

TEST(Tag, ComparesAsAZeroTerminatedStringOfFour) {
    EXPECT_EQ(Tag("CFF "), Tag("CFF "));
    EXPECT_FALSE(Tag("CFF ") == Tag("CFF\0"));
    EXPECT_FALSE(Tag("head") == Tag("Head"));
    const std::uint8_t a[4] = {'a', 'b', 0, 'c'}, b[4] = {'a', 'b', 0, 'd'};
    EXPECT_EQ(Tag(std::span<const std::uint8_t, 4>(a)), Tag(std::span<const std::uint8_t, 4>(b)));
    EXPECT_FALSE(Tag(std::span<const std::uint8_t, 4>(a)) == Tag("ab c"));
}

TEST(TableDirectory, EveryReadStaysInsideTheBytes) {
    const Bytes font = buildSfnt({{"head", headTable(0x80000)}, {"name", counting(10, 1)}, {"CFF ", counting(7, 2)}});
    for (std::size_t size = 0; size <= font.size(); ++size) {
        const std::span<const std::uint8_t> cut(font.data(), size);
        EXPECT_EQ(fr::readOffsetTable(cut).has_value(), size >= 12) << size;
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(fr::readTableRecord(cut, i).has_value(), size >= fr::sfnt::recordAt(i + 1)) << size << " " << i;
        // The walk ends where the directory leaves the bytes: 'CFF ' is the third record.
        EXPECT_EQ(fr::findTable(cut, 3, Tag("CFF ")).has_value(), size >= fr::sfnt::recordAt(3)) << size;
    }
    const auto cff = fr::findTable(font, 3, Tag("CFF "));
    ASSERT_TRUE(cff);
    EXPECT_EQ(cff->index, 2u);
    EXPECT_EQ(fr::tableBytes(font, cff->record)->size(), 7u);
    // A table whose end wraps around 32 bits, or lies one byte past the file, is not there.
    EXPECT_FALSE(fr::tableBytes(font, {Tag("CFF "), 0, 0xFFFFFFF0u, 0x20}));
    EXPECT_FALSE(fr::tableBytes(font, {Tag("CFF "), 0, static_cast<std::uint32_t>(font.size() - 6), 7}));
    EXPECT_TRUE(fr::tableBytes(font, {Tag("CFF "), 0, static_cast<std::uint32_t>(font.size()), 0}));
}

TEST(NameTable, OpensOnlyWithAllItsRecordsAndHandsOutOnlyWholeStrings) {
    const Bytes table = nameTable({{1, 0, 0, 4, bytesOf("Full")}, {3, 1, 0x409, 13, utf16be("License")}});
    for (std::size_t size = 0; size < 6 + 2 * 12; ++size)
        EXPECT_FALSE(fr::NameTableView::open(std::span<const std::uint8_t>(table.data(), size))) << size;
    const auto name = fr::NameTableView::open(table);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->count(), 2u);
    EXPECT_EQ(name->recordsEnd(), 6u + 2 * 12);
    const auto full = name->find(1, 0, 0, 4);
    ASSERT_TRUE(full);
    EXPECT_EQ(Bytes(name->string(*full)->begin(), name->string(*full)->end()), bytesOf("Full"));
    EXPECT_FALSE(name->find(3, 1, 0x411, 13));

    // A string that runs one byte past the table is not handed out.
    fr::NameRecord past = *name->find(3, 1, 0x409, 13);
    past.length = static_cast<std::uint16_t>(table.size() - name->stringOffset() - past.offset + 1);
    EXPECT_FALSE(name->string(past));
    --past.length;
    EXPECT_TRUE(name->string(past));
}

}  // namespace
