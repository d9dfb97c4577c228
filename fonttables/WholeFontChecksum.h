#pragma once
// The 'head' table's checksum and the whole font's checkSumAdjustment, the last change made
// to a new image before it is written.

#include "fonttables/TableDirectory.h"

#include <cstdint>
#include <optional>
#include <span>

namespace fr {

// The image's first 'head' record (among `numTables`), when its table lies in the image and
// holds the adjustment field.
std::optional<FoundTable> findHeadRecord(std::span<const std::uint8_t> image, std::size_t numTables);

// Sets the adjustment field to zero, stores the 'head' table's checksum in its record, and
// gives the adjustment that makes the whole image's words add up to 0xB1B0AFBA. The image's
// first `numTables` records must hold their tables' checksums, and its tables lie apart on
// word boundaries after the directory with zeros between them (as the assembly lays them
// out): the whole sum is then the directory's words and the tables' checksums, and the
// tables need not be read again.
std::uint32_t prepareAdjustment(std::span<std::uint8_t> image, const FoundTable& head, std::size_t numTables);
void storeAdjustment(std::span<std::uint8_t> image, const FoundTable& head, std::uint32_t adjustment);

}  // namespace fr
