#pragma once
// One table of the installed font: where it lies in the installed bytes and, once its
// instructions have been applied, the new table's bytes and directory record.

#include "fonttables/FontTypes.h"
#include "fonttables/OpenTypeObj.h"
#include "fonttables/Reason.h"
#include "fonttables/TableInstructions.h"
#include "fonttables/Tag.h"
#include "platform/NewFile.h"
#include "platform/ReadableBytes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fr {

class TagObj : public OpenTypeObj {
public:
    TagObj();

    // `record` is this table's 16-byte directory record, `font` the installed font it
    // belongs to, which outlives this object. The caller (the model build) has checked that
    // the table lies in the font.
    void CreateTagObject(std::int32_t type, const std::uint8_t* record, const platform::ReadableBytes& font);

    _TableList getTableList() const { return m_TableList; }
    _TableList getNewTableList() const { return m_NewTblLst; }
    void getTagName(char* out5) const;
    Tag tag() const {
        return Tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(m_TableList.tag), 4));
    }
    // Builds the new table from the installed one and its instructions straight into `into`
    // (its place in the new image: zero, exactly the new table's length): the old copies in
    // their order, then the new data in theirs. False when an unchanged table's length
    // differs, when a copy reads outside the installed table or any instruction writes
    // outside the new one (then `into` is left untouched), or when the installed table can't
    // be read; `why`, where given, says which.
    bool createUpdateTagObject(const TableInstructions& record, std::span<std::uint8_t> into, Reason* why = nullptr);
    // The same table written into a new file at its place instead, never held whole: what the
    // installed table gives copied out of the installed file (in the kernel where the files
    // allow it), the new bytes written from the patch, every instruction checked first as
    // above. Its checksum is not taken here: the caller reads the file back for it.
    enum class Written { Done, Refused, Failed };
    Written writeUpdateTagObject(const TableInstructions& record, platform::NewFile& out, Reason* why = nullptr);
    std::int32_t getTableNum() const { return m_TableNum; }
    // The new table: getNewTableList().length bytes where it was built.
    const std::uint8_t* getNewUpdateData() const { return m_pNewUpdateData.data(); }
    // The installed table's bytes at `offset` from its start; false when they are not all
    // in the table, or can't be read.
    bool readInstalled(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // The whole installed table.
    std::optional<std::vector<std::uint8_t>> installedTable() const;

    // The record's checks, for a new table of `length` bytes: its length rounds, and its
    // instructions fit the installed table and the new one (or it is carried over whole).
    bool recordHolds(const TableInstructions& record, std::size_t length, Reason* why);

private:
    void placedAt(const TableInstructions::Placement& placement);

    _TableList m_TableList{};
    char m_TagName[5] = {0, 0, 0, 0, 0};
    std::int32_t m_byte4length = 0;
    const std::uint8_t* m_TableAddress = nullptr;  // its record; not owned
    std::span<std::uint8_t> m_pNewUpdateData;      // the new table, in the new image
    _TableList m_NewTblLst{};
    std::int32_t m_TableNum = 0;
    std::int32_t m_WriteNum = 0;
    const platform::ReadableBytes* m_installed = nullptr;  // the installed font; not owned
};

}  // namespace fr
