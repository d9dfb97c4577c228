#pragma once
// Where a new image's License Description strings (name ID 13) go: the 'name' table of the
// new directory and each of its records of that name ID, all checked before anything is
// written, so that no write can change what a later one reads.

#include "fonttables/TableDirectory.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fr {

constexpr std::uint16_t kLicenseDescription = 13;

// One record's string in the image.
struct LicenseSlot {
    std::uint16_t platformID = 0;
    std::size_t at = 0;  // from the start of the image
    std::uint16_t length = 0;
};

// The 'name' record of the image's directory (the first of `numTables`), or nothing.
std::optional<FoundTable> findNameRecord(std::span<const std::uint8_t> image, std::size_t numTables);

// Every License Description string of that table, or nothing when the table or any of them
// is malformed: a table outside the image, a string outside the table, one longer than the
// 255-byte fields that carry the strings, or one that lies over the table's own header or
// records (writing it would rewrite a record).
std::optional<std::vector<LicenseSlot>> licenseSlots(std::span<const std::uint8_t> image, const TableRecord& name);

// Writes the installed strings: the Macintosh one into platform 1's records, the Windows
// one into every other's, each cut or zero-filled to the record's length.
void writeLicenseStrings(std::span<std::uint8_t> image, const std::vector<LicenseSlot>& places,
                         const std::array<std::uint8_t, 255>& mac, const std::array<std::uint8_t, 255>& windows);

}  // namespace fr
