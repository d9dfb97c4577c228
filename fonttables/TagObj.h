#pragma once
// One table of the installed font: where it lies in the installed bytes and, once its patch
// record has been applied, the new table's bytes and directory record.

#include "fonttables/FontTypes.h"
#include "fonttables/OpenTypeObj.h"
#include "fonttables/Tag.h"

#include <cstdint>
#include <span>
#include <vector>

namespace fr {

class SabunTagObject;

class TagObj : public OpenTypeObj {
public:
    TagObj();

    // `record` is this table's 16-byte directory record inside `font`, the installed bytes.
    // The caller (the model build) has checked that the record and the table lie in `font`.
    void CreateTagObject(std::int32_t type, const std::uint8_t* record, std::span<const std::uint8_t> font);

    _TableList getTableList() const { return m_TableList; }
    _TableList getNewTableList() const { return m_NewTblLst; }
    void getTagName(char* out5) const;
    Tag tag() const {
        return Tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(m_TableList.tag), 4));
    }
    // Builds the new table from the installed one and the patch record (defined with the
    // patch records). False when an unchanged table's length differs, or when a copy reads
    // outside the installed table or writes outside the new one.
    bool createUpdateTagObject(const SabunTagObject& record);
    std::int32_t getTableNum() const { return m_TableNum; }
    // The new table: getNewTableList().length bytes, zero padding to m_byte4length after.
    const std::uint8_t* getNewUpdateData() const {
        return m_pNewUpdateData.empty() ? nullptr : m_pNewUpdateData.data();
    }
    // The same as a span of the new table's own length.
    std::span<const std::uint8_t> newTable() const {
        return std::span<const std::uint8_t>(m_pNewUpdateData).first(m_pNewUpdateData.empty() ? 0 : m_NewTblLst.length);
    }
    std::int32_t getByte4Length() const { return m_byte4length; }
    // The installed table's bytes.
    std::span<const std::uint8_t> installedTable() const { return m_installedTable; }

private:
    _TableList m_TableList{};
    char m_TagName[5] = {0, 0, 0, 0, 0};
    std::int32_t m_byte4length = 0;
    const std::uint8_t* m_TableAddress = nullptr;    // not owned
    const std::uint8_t* m_TopDataAddress = nullptr;  // not owned
    std::vector<std::uint8_t> m_pNewUpdateData;      // m_byte4length + 1 bytes
    _TableList m_NewTblLst{};
    std::int32_t m_TableNum = 0;
    std::int32_t m_WriteNum = 0;
    std::span<const std::uint8_t> m_installedTable;  // bounds of the installed table
};

}  // namespace fr
