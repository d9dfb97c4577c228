#pragma once
// The on-disk structures of an OpenType font file that this program reads and writes: each
// structure's size and field offsets, stated once. Every number is big-endian.

#include <cstddef>
#include <cstdint>

namespace fr::sfnt {

// The offset table at the start of the file.
namespace offset_table {
constexpr std::size_t kVersion = 0;  // four bytes: "OTTO" for CFF outlines
constexpr std::size_t kNumTables = 4;
constexpr std::size_t kSearchRange = 6;
constexpr std::size_t kEntrySelector = 8;
constexpr std::size_t kRangeShift = 10;
constexpr std::size_t kSize = 12;
}  // namespace offset_table

// One record of the table directory, which follows the offset table.
namespace table_record {
constexpr std::size_t kTag = 0;
constexpr std::size_t kChecksum = 4;
constexpr std::size_t kOffset = 8;   // from the start of the file
constexpr std::size_t kLength = 12;  // without padding
constexpr std::size_t kSize = 16;
}  // namespace table_record

// Where directory record `index` lies in the file.
constexpr std::size_t recordAt(std::size_t index) { return offset_table::kSize + table_record::kSize * index; }

// The fields of 'head' this program reads or writes.
namespace head {
constexpr std::size_t kFontRevision = 4;  // 16.16 fixed point
constexpr std::size_t kCheckSumAdjustment = 8;
constexpr std::size_t kAdjustmentEnd = 12;  // a 'head' this long holds both
constexpr std::size_t kMagicNumber = 12;
constexpr std::uint32_t kMagic = 0x5F0F3CF5;
constexpr std::size_t kSize = 54;
}  // namespace head

// 'maxp': the number of glyphs.
namespace maxp {
constexpr std::size_t kNumGlyphs = 4;
constexpr std::size_t kSize = 6;  // version 0.5, as CFF fonts have it
}  // namespace maxp

// 'hhea': how many glyphs have a full metric in 'hmtx' (the rest share its last advance).
namespace hhea {
constexpr std::size_t kNumberOfHMetrics = 34;
constexpr std::size_t kSize = 36;
}  // namespace hhea
namespace hmtx {
constexpr std::size_t kLongMetricSize = 4;  // advance and side bearing
constexpr std::size_t kBearingSize = 2;     // side bearing only
}  // namespace hmtx

// The 'name' table: a header, the records, then the string storage.
namespace name_header {
constexpr std::size_t kFormat = 0;
constexpr std::size_t kCount = 2;
constexpr std::size_t kStringOffset = 4;  // from the start of the table
constexpr std::size_t kSize = 6;
}  // namespace name_header
namespace name_record {
constexpr std::size_t kPlatformID = 0;
constexpr std::size_t kEncodingID = 2;
constexpr std::size_t kLanguageID = 4;
constexpr std::size_t kNameID = 6;
constexpr std::size_t kLength = 8;
constexpr std::size_t kOffset = 10;  // from the start of the string storage
constexpr std::size_t kSize = 12;
}  // namespace name_record

// The whole font's words add up to this once checkSumAdjustment is set.
constexpr std::uint32_t kWholeFontSum = 0xB1B0AFBA;

// The fixed buffers that hold one name string.
constexpr std::size_t kNameFieldSize = 255;

}  // namespace fr::sfnt
