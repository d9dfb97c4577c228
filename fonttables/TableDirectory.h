#pragma once
// The offset table and the table directory of a font file: read in one place, each read
// checking that the bytes it needs are there and yielding nothing when they are not.

#include "fonttables/FontTypes.h"
#include "fonttables/Tag.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace fr {

// One directory record, its numbers in host order.
struct TableRecord {
    Tag tag;
    std::uint32_t checksum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// The offset table, when the bytes hold its twelve bytes (whatever its version says).
std::optional<_sfntHeader> readOffsetTable(std::span<const std::uint8_t> font);
// True when the offset table's version is "OTTO": a font with CFF outlines.
bool hasCffOutlines(const _sfntHeader& header);
void writeOffsetTable(std::span<std::uint8_t, 12> out, const _sfntHeader& header);

// A record from its sixteen bytes.
TableRecord parseTableRecord(std::span<const std::uint8_t, 16> bytes);
// Directory record `index`, when it lies inside the bytes.
std::optional<TableRecord> readTableRecord(std::span<const std::uint8_t> font, std::size_t index);
// Writes directory record `index`; false (nothing written) when it would leave the bytes.
bool writeTableRecord(std::span<std::uint8_t> image, std::size_t index, const TableRecord& record);

// The first of the first `numTables` records that carries `tag`; the walk ends where the
// directory leaves the bytes.
struct FoundTable {
    std::size_t index = 0;
    TableRecord record;
};
std::optional<FoundTable> findTable(std::span<const std::uint8_t> font, std::size_t numTables, const Tag& tag);

// The table's bytes, when they lie inside the font.
std::optional<std::span<const std::uint8_t>> tableBytes(std::span<const std::uint8_t> font, const TableRecord& record);

// Stores the checksum of the table's bytes (zero-padded to four) in its directory record.
void refreshTableChecksum(std::span<std::uint8_t> image, const FoundTable& table);

}  // namespace fr
