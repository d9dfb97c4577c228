// A table of the new font built from the installed table and its patch record: the one
// place where patch instructions touch table bytes. Old copies are read from the installed
// file straight into the new table.

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/TagObj.h"
#include "patch/SabunRecords.h"

#include <cstring>
#include <new>

namespace fr {

namespace {
// Every copy reads inside the installed table and every write lands inside the new table's
// `length` bytes (the padding belongs to no instruction).
bool instructionsFit(const SabunTagObject& record, std::size_t installed, std::size_t length) {
    for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j) {
        const _oldFontStruct copy = record.getOldTagObject(j)->getOldFontStruct();
        if (!bytes::fits(installed, copy.src_offset, copy.src_length)) return false;
        if (!bytes::fits(length, copy.dst_offset, copy.src_length)) return false;
    }
    for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
        const _newFontStruct data = record.getNewTagObject(i)->getNewStructFont();
        if (!bytes::fits(length, data.offset, data.length)) return false;
    }
    return true;
}
}  // namespace

bool TagObj::createUpdateTagObject(const SabunTagObject& record) {
    m_pNewUpdateData.clear();
    m_pNewUpdateData.shrink_to_fit();
    m_newTable = {};
    const auto rounded = CommonTool::byte4_chk_checked(record.getUpdateTagTable().up_datalength);
    if (!rounded) return false;
    try {
        m_pNewUpdateData.assign(static_cast<std::size_t>(*rounded) + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool built =
        createUpdateTagObject(record, std::span(m_pNewUpdateData).first(record.getUpdateTagTable().up_datalength));
    if (!built) {
        m_pNewUpdateData.clear();
        m_pNewUpdateData.shrink_to_fit();
        m_newTable = {};
    }
    return built;
}

bool TagObj::createUpdateTagObject(const SabunTagObject& record, std::span<std::uint8_t> into) {
    m_newTable = {};
    const _UPDATE_TAG_TABLE table = record.getUpdateTagTable();
    m_TableNum = table.tablePos;
    m_WriteNum = table.dataPos;

    // A new table too long to round in 32 signed bits can't be a table of a font.
    const auto rounded = CommonTool::byte4_chk_checked(table.up_datalength);
    if (!rounded || into.size() != table.up_datalength) return false;
    m_byte4length = *rounded;

    // The whole record is checked before anything is written, so a refused record leaves
    // its place as it was.
    const bool changed = record.isUpdateFlag();
    if (changed) {
        if (!instructionsFit(record, m_TableList.length, table.up_datalength)) return false;
        // Old copies first, then new data: where they overlap the new data wins, and a later
        // instruction of the same kind wins over an earlier one.
        for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j) {
            const _oldFontStruct copy = record.getOldTagObject(j)->getOldFontStruct();
            if (copy.src_length == 0) continue;
            if (!readInstalled(copy.src_offset, into.subspan(copy.dst_offset, copy.src_length))) return false;
        }
        for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
            const NewTagObject added = *record.getNewTagObject(i);
            const _newFontStruct data = added.getNewStructFont();
            if (data.length != 0) std::memcpy(into.data() + data.offset, added.getData(), data.length);
        }
    } else {
        // Carried over unchanged: the patch must agree with the installed length.
        if (table.up_datalength != m_TableList.length) return false;
        if (!readInstalled(0, into)) return false;
    }

    m_newTable = into;
    std::memcpy(m_NewTblLst.tag, m_TableList.tag, 4);
    m_NewTblLst.length = table.up_datalength;  // the installed length, for an unchanged table
    m_NewTblLst.offset = table.up_dataOffset;
    m_NewTblLst.checksum = CommonTool::tableChecksum(into);
    return true;
}

}  // namespace fr
