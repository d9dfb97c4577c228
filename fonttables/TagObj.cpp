#include "fonttables/TagObj.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/TableDirectory.h"

#include <cstring>

namespace fr {

TagObj::TagObj() { m_ObjectType = 2; }

void TagObj::CreateTagObject(std::int32_t type, const std::uint8_t* record, std::span<const std::uint8_t> font) {
    m_ObjectType = type;
    std::memcpy(m_TagName, record, 4);
    m_TagName[4] = 0;

    const TableRecord parsed = parseTableRecord(std::span<const std::uint8_t, 16>(record, 16));
    std::memcpy(m_TableList.tag, record, 4);
    m_TableList.checksum = parsed.checksum;
    m_TableList.offset = parsed.offset;
    m_TableList.length = parsed.length;

    m_TableAddress = record;
    // A table that doesn't lie in the font keeps no address: nothing can be copied from it.
    if (bytes::fits(font.size(), m_TableList.offset, m_TableList.length)) {
        m_installedTable = font.subspan(m_TableList.offset, m_TableList.length);
        m_TopDataAddress = m_installedTable.data();
    } else {
        m_installedTable = {};
        m_TopDataAddress = nullptr;
    }
    m_byte4length = CommonTool::byte4_chk_checked(m_TableList.length).value_or(0);
}

void TagObj::getTagName(char* out5) const {
    std::size_t i = 0;
    for (; i < 4 && m_TagName[i] != 0; ++i) out5[i] = m_TagName[i];
    out5[i] = 0;
}

}  // namespace fr
