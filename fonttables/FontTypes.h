#pragma once
// The two records of a font's directory held in memory: its offset table and one table record.

#include <cstdint>

namespace fr {

// A font's offset table in memory: `version` as the four bytes stand in the file, the rest
// in host order.
struct _sfntHeader {
    std::int32_t version = 0;
    std::uint16_t numTables = 0;
    std::uint16_t searchRange = 0;
    std::uint16_t entrySelector = 0;
    std::uint16_t rangeShift = 0;
};

// One table record in memory: the tag as stored, the numbers in host order.
struct _TableList {
    char tag[4] = {0, 0, 0, 0};
    std::uint32_t checksum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

}  // namespace fr
