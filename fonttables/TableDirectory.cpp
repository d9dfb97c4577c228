#include "fonttables/TableDirectory.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/SfntLayout.h"

#include <cstring>

namespace fr {

std::optional<_sfntHeader> readOffsetTable(std::span<const std::uint8_t> font) {
    namespace ot = sfnt::offset_table;
    const auto in = bytes::Reader(font).fixed<ot::kSize>(0);
    if (!in) return std::nullopt;
    _sfntHeader header;
    std::memcpy(&header.version, in->slice<ot::kVersion, 4>().data(), 4);  // as the four bytes stand
    header.numTables = in->u16<ot::kNumTables>();
    header.searchRange = in->u16<ot::kSearchRange>();
    header.entrySelector = in->u16<ot::kEntrySelector>();
    header.rangeShift = in->u16<ot::kRangeShift>();
    return header;
}

bool hasCffOutlines(const _sfntHeader& header) { return std::memcmp(&header.version, "OTTO", 4) == 0; }

void writeOffsetTable(std::span<std::uint8_t, 12> out, const _sfntHeader& header) {
    std::memcpy(out.data() + sfnt::offset_table::kVersion, &header.version, 4);
    bytes::putU16(out, sfnt::offset_table::kNumTables, header.numTables);
    bytes::putU16(out, sfnt::offset_table::kSearchRange, header.searchRange);
    bytes::putU16(out, sfnt::offset_table::kEntrySelector, header.entrySelector);
    bytes::putU16(out, sfnt::offset_table::kRangeShift, header.rangeShift);
}

TableRecord parseTableRecord(std::span<const std::uint8_t, 16> bytes) {
    namespace tr = sfnt::table_record;
    const bytes::Fixed<tr::kSize> in(bytes);
    return {Tag(in.slice<tr::kTag, 4>()), in.u32<tr::kChecksum>(), in.u32<tr::kOffset>(), in.u32<tr::kLength>()};
}

std::optional<TableRecord> readTableRecord(std::span<const std::uint8_t> font, std::size_t index) {
    const auto in = bytes::Reader(font).fixed<sfnt::table_record::kSize>(sfnt::recordAt(index));
    if (!in) return std::nullopt;
    return parseTableRecord(in->bytes());
}

bool writeTableRecord(std::span<std::uint8_t> image, std::size_t index, const TableRecord& record) {
    const std::size_t at = sfnt::recordAt(index);
    if (!bytes::fits(image.size(), at, sfnt::table_record::kSize)) return false;
    std::memcpy(image.data() + at + sfnt::table_record::kTag, record.tag.bytes().data(), 4);
    bytes::putU32(image, at + sfnt::table_record::kChecksum, record.checksum);
    bytes::putU32(image, at + sfnt::table_record::kOffset, record.offset);
    bytes::putU32(image, at + sfnt::table_record::kLength, record.length);
    return true;
}

std::optional<FoundTable> findTable(std::span<const std::uint8_t> font, std::size_t numTables, const Tag& tag) {
    for (std::size_t i = 0; i < numTables; ++i) {
        const auto record = readTableRecord(font, i);
        if (!record) return std::nullopt;
        if (record->tag == tag) return FoundTable{i, *record};
    }
    return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> tableBytes(std::span<const std::uint8_t> font, const TableRecord& record) {
    return bytes::Reader(font).slice(record.offset, record.length);
}

void refreshTableChecksum(std::span<std::uint8_t> image, const FoundTable& table) {
    const auto bytes = tableBytes(std::span<const std::uint8_t>(image), table.record);
    if (!bytes) return;
    TableRecord record = table.record;
    record.checksum = CommonTool::tableChecksum(*bytes);
    writeTableRecord(image, table.index, record);
}

}  // namespace fr
