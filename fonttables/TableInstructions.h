#pragma once
// What makes one table of a new font, as the table model reads it: where the table goes and
// how long it is and, for a table that changes, the pieces copied out of the installed table
// of the same tag and the new bytes, each kind in the order it applies. A patch's table
// record is one.

#include <cstdint>
#include <span>

namespace fr {

// One copy out of the installed table: `src_length` bytes from `src_offset` of the installed
// table to `dst_offset` of the new one.
struct _oldFontStruct {
    std::uint32_t src_offset;
    std::uint32_t src_length;
    std::uint32_t dst_offset;
};
// New bytes: `length` of them at `offset` of the new table.
struct _newFontStruct {
    std::uint32_t offset;
    std::uint32_t length;
};

class TableInstructions {
public:
    virtual ~TableInstructions() = default;

    struct Placement {
        std::uint8_t slot = 0;     // of the table's record in the new directory
        std::uint8_t dataPos = 0;  // carried along, read by nothing
        std::uint32_t length = 0;  // of the new table, without padding
        std::uint32_t offset = 0;  // of the new table in the new font
    };
    virtual Placement placement() const = 0;
    // True when the table changes; false when it is carried over whole.
    virtual bool isUpdateFlag() const = 0;
    virtual std::int32_t getOldCopyArraySize() const = 0;
    virtual _oldFontStruct oldCopy(std::int32_t index) const = 0;  // 0 <= index < getOldCopyArraySize()
    virtual std::int32_t getNewCopyArraySize() const = 0;
    // The place of new-data instruction `index` (0 <= index < getNewCopyArraySize()), its bytes
    // in `bytes`.
    virtual _newFontStruct newData(std::int32_t index, std::span<const std::uint8_t>& bytes) const = 0;
};

}  // namespace fr
