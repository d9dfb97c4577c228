#include "fonttables/TagObj.h"

#include "fonttables/CommonTool.h"
#include "fonttables/TableDirectory.h"

#include <cstring>

namespace fr {

TagObj::TagObj() { m_ObjectType = 2; }

void TagObj::CreateTagObject(std::int32_t type, const std::uint8_t* record, const platform::ReadableBytes& font) {
    m_ObjectType = type;
    std::memcpy(m_TagName, record, 4);
    m_TagName[4] = 0;

    const TableRecord parsed = parseTableRecord(std::span<const std::uint8_t, 16>(record, 16));
    std::memcpy(m_TableList.tag, record, 4);
    m_TableList.checksum = parsed.checksum;
    m_TableList.offset = parsed.offset;
    m_TableList.length = parsed.length;

    m_TableAddress = record;
    m_installed = &font;
    m_byte4length = CommonTool::byte4_chk_checked(m_TableList.length).value_or(0);
}

bool TagObj::readInstalled(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!m_installed || offset > m_TableList.length || out.size() > m_TableList.length - offset) return false;
    return m_installed->readAt(std::uint64_t{m_TableList.offset} + offset, out);
}

std::optional<std::vector<std::uint8_t>> TagObj::installedTable() const {
    if (!m_installed) return std::nullopt;
    return m_installed->read(m_TableList.offset, m_TableList.length);
}

void TagObj::getTagName(char* out5) const {
    std::size_t i = 0;
    for (; i < 4 && m_TagName[i] != 0; ++i) out5[i] = m_TagName[i];
    out5[i] = 0;
}

}  // namespace fr
