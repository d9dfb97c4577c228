#pragma once
// A changed table's instructions as the pieces of the new table they make, in order and
// apart: where old copies and new data overlap, the new data wins, and a later instruction
// of the same kind wins over an earlier one, exactly as the table is built in memory. What no
// piece covers is zero. A table so described can be written a piece at a time: the old bytes
// copied out of the installed file, the new ones from the patch.

#include "fonttables/TableInstructions.h"

#include <cstdint>
#include <span>
#include <vector>

namespace fr {

struct TablePiece {
    std::uint32_t at = 0;      // in the new table
    std::uint32_t length = 0;  // never 0
    bool fromInstalled = false;
    std::uint32_t source = 0;            // in the installed table, where fromInstalled
    std::span<const std::uint8_t> data;  // the new bytes, otherwise
};

// The pieces of the record's new table, by offset. The instructions must fit the tables (as
// TagObj checks them before anything is built).
std::vector<TablePiece> tablePieces(const TableInstructions& record);

}  // namespace fr
