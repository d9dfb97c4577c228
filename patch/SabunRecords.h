#pragma once
// A loaded patch's records: one SabunTagObject per table record. Its instructions are not
// copied out of the patch: each is read where it stands in the patch's bytes when asked
// for, so a loaded patch takes little more memory than its file. Built once by
// MakeSabunData::loadSabunData, never changed after; valid while that patch lives.

#include "fonttables/Reason.h"
#include "fonttables/TableInstructions.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fr {

#pragma pack(push, 1)
// The patch header as stored (53 bytes); numbers in host order once loaded.
struct _UPDATE_HEADER {
    char font_header[4];
    char font_name[32];
    std::uint32_t font_version;
    std::uint32_t font_length;
    std::uint8_t tagNum;
    std::uint8_t createtime[8];
};
// One 18-byte table record; numbers in host order once loaded.
struct _UPDATE_TAG_TABLE {
    char name[4];
    std::uint8_t tablePos;
    std::uint8_t dataPos;
    std::uint32_t sabunOffset;
    std::uint32_t up_datalength;
    std::uint32_t up_dataOffset;
};
#pragma pack(pop)
static_assert(sizeof(_UPDATE_HEADER) == 53);
static_assert(sizeof(_UPDATE_TAG_TABLE) == 18);

// One old-copy instruction: its 12 bytes in the patch.
class OldTagObject {
public:
    explicit OldTagObject(std::span<const std::uint8_t, 12> bytes) : m_bytes(bytes) {}
    _oldFontStruct getOldFontStruct() const;

private:
    std::span<const std::uint8_t, 12> m_bytes;
};

// One new-data instruction: its head and its data, where they stand in the patch.
class NewTagObject {
public:
    NewTagObject(_newFontStruct head, std::span<const std::uint8_t> data) : m_NewFontStruct(head), m_data(data) {}
    _newFontStruct getNewStructFont() const { return m_NewFontStruct; }
    // The `length` data bytes.
    const std::uint8_t* getData() const { return m_data.data(); }
    std::span<const std::uint8_t> data() const { return m_data; }
    // The table checksum of the data, zero-padded to four bytes.
    std::uint32_t getChkSum() const;

private:
    _newFontStruct m_NewFontStruct{};
    std::span<const std::uint8_t> m_data;
};

// One table record: the instructions that make its table of the new font.
class SabunTagObject : public TableInstructions {
public:
    SabunTagObject() = default;

    void setTagTableData(const char* tag, std::uint8_t tablePos, std::uint8_t dataPos, std::uint32_t sabunOffset,
                         std::uint32_t up_datalength, std::uint32_t up_dataOffset);
    // Takes the record's instruction block, which must lie whole in `block` (the bytes from
    // the block's offset up to the next block or the end of the file). False when a count,
    // an instruction or its data runs past them, or when the block holds more instructions
    // than the new table has bytes (each instruction, even one that writes nothing, counts
    // as one). Only the new-data instructions' places are kept, four bytes each.
    bool setOldNewData(std::span<const std::uint8_t> block, Reason* why = nullptr);

    _UPDATE_TAG_TABLE getUpdateTagTable() const { return m_UpdateTabTable; }
    void getTagName(char* out5) const;
    bool isUpdateFlag() const override { return m_bUpdateFlag; }
    std::int32_t getOldCopyArraySize() const override { return static_cast<std::int32_t>(m_oldCopies.size() / 12); }
    std::optional<OldTagObject> getOldTagObject(std::int32_t index) const;
    std::int32_t getNewCopyArraySize() const override { return static_cast<std::int32_t>(m_newAt.size()); }
    std::optional<NewTagObject> getNewTagObject(std::int32_t index) const;

    // The same, as the table model reads them.
    Placement placement() const override;
    _oldFontStruct oldCopy(std::int32_t index) const override { return getOldTagObject(index)->getOldFontStruct(); }
    _newFontStruct newData(std::int32_t index, std::span<const std::uint8_t>& bytes) const override;

private:
    _UPDATE_TAG_TABLE m_UpdateTabTable{};
    char m_TagName[5] = {0, 0, 0, 0, 0};
    std::span<const std::uint8_t> m_block;      // the instruction block
    std::span<const std::uint8_t> m_oldCopies;  // its M old-copy instructions
    std::vector<std::uint32_t> m_newAt;         // where each new-data instruction begins in it
    bool m_bUpdateFlag = false;
};

}  // namespace fr
