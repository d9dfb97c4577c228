#pragma once
// A loaded patch's records: one SabunTagObject per table record, each holding its old-copy
// and new-data instructions. Built once by MakeSabunData::loadSabunData, never changed after.

#include <cstdint>
#include <memory>
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

struct _oldFontStruct {
    std::uint32_t src_offset;
    std::uint32_t src_length;
    std::uint32_t dst_offset;
};
struct _newFontStruct {
    std::uint32_t offset;
    std::uint32_t length;
};

class OldTagObject {
public:
    OldTagObject() = default;
    void setOldFontStruct(std::uint32_t src_offset, std::uint32_t src_length, std::uint32_t dst_offset);
    _oldFontStruct getOldFontStruct() const { return m_oldFontStruct; }

private:
    _oldFontStruct m_oldFontStruct{};
};

class NewTagObject {
public:
    NewTagObject() = default;
    // Copies `length` bytes of data (the caller has checked they are there).
    void setNewStructFont(std::uint32_t offset, std::uint32_t length, const std::uint8_t* data);
    _newFontStruct getNewStructFont() const { return m_NewFontStruct; }
    // `length` bytes followed by at least three zero bytes.
    const std::uint8_t* getData() const { return m_pData.data(); }
    std::uint32_t getChkSum() const { return m_chksum; }

private:
    _newFontStruct m_NewFontStruct{};
    std::vector<std::uint8_t> m_pData;
    std::uint32_t m_chksum = 0;
};

class SabunTagObject {
public:
    SabunTagObject() = default;

    void setTagTableData(const char* tag, std::uint8_t tablePos, std::uint8_t dataPos, std::uint32_t sabunOffset,
                         std::uint32_t up_datalength, std::uint32_t up_dataOffset);
    // Reads the instruction block that begins at `block` (the rest of the patch file from
    // the block's offset). False when any count, instruction or data runs past those bytes
    // or a position overflows 32 bits.
    bool setOldNewData(std::span<const std::uint8_t> block);

    _UPDATE_TAG_TABLE getUpdateTagTable() const { return m_UpdateTabTable; }
    void getTagName(char* out5) const;
    bool isUpdateFlag() const { return m_bUpdateFlag; }
    std::int32_t getOldCopyArraySize() const { return static_cast<std::int32_t>(m_oldCopyArray.size()); }
    const OldTagObject* getOldTagObject(std::int32_t index) const;
    std::int32_t getNewCopyArraySize() const { return static_cast<std::int32_t>(m_newCopyArray.size()); }
    const NewTagObject* getNewTagObject(std::int32_t index) const;

private:
    _UPDATE_TAG_TABLE m_UpdateTabTable{};
    char m_TagName[5] = {0, 0, 0, 0, 0};
    std::vector<std::unique_ptr<OldTagObject>> m_oldCopyArray;
    std::vector<std::unique_ptr<NewTagObject>> m_newCopyArray;
    bool m_bUpdateFlag = false;
};

}  // namespace fr
