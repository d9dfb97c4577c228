#include "fonttables/TagObj.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "fonttables/TablePieces.h"

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

namespace {
// Every copy reads inside the installed table and every write lands inside the new table's
// `length` bytes (the padding belongs to no instruction).
bool instructionsFit(const TableInstructions& record, std::size_t installed, std::size_t length, const Tag& tag,
                     Reason* why) {
    for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j) {
        const _oldFontStruct copy = record.oldCopy(j);
        if (!bytes::fits(installed, copy.src_offset, copy.src_length) ||
            !bytes::fits(length, copy.dst_offset, copy.src_length))
            return refuse(why, "copy-outside",
                          QStringLiteral("copy %1 of table %2 (%3 bytes from %4 to %5) lies outside the table of %6 "
                                         "bytes or the new one of %7")
                              .arg(j)
                              .arg(quoted(tag))
                              .arg(copy.src_length)
                              .arg(copy.src_offset)
                              .arg(copy.dst_offset)
                              .arg(installed)
                              .arg(length));
    }
    for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
        std::span<const std::uint8_t> data;
        const _newFontStruct place = record.newData(i, data);
        if (!bytes::fits(length, place.offset, data.size()))
            return refuse(
                why, "copy-outside",
                QStringLiteral("new data %1 of table %2 (%3 bytes at %4) lies outside the new table of %5 bytes")
                    .arg(i)
                    .arg(quoted(tag))
                    .arg(data.size())
                    .arg(place.offset)
                    .arg(length));
    }
    return true;
}
}  // namespace

bool TagObj::recordHolds(const TableInstructions& record, std::size_t length, Reason* why) {
    const TableInstructions::Placement placement = record.placement();
    m_TableNum = placement.slot;
    m_WriteNum = placement.dataPos;
    // A new table too long to round in 32 signed bits can't be a table of a font.
    const auto rounded = CommonTool::byte4_chk_checked(placement.length);
    if (!rounded || length != placement.length)
        return refuse(why, "layout-length",
                      QStringLiteral("table %1 of %2 bytes").arg(quoted(tag())).arg(placement.length));
    m_byte4length = *rounded;
    if (record.isUpdateFlag()) return instructionsFit(record, m_TableList.length, placement.length, tag(), why);
    // Carried over unchanged: the instructions must agree with the installed length.
    if (placement.length != m_TableList.length)
        return refuse(why, "table-length",
                      QStringLiteral("table %1 is carried over unchanged, but given %2 bytes where the font has %3")
                          .arg(quoted(tag()))
                          .arg(placement.length)
                          .arg(m_TableList.length));
    return true;
}

void TagObj::placedAt(const TableInstructions::Placement& placement) {
    std::memcpy(m_NewTblLst.tag, m_TableList.tag, 4);
    m_NewTblLst.length = placement.length;  // the installed length, for an unchanged table
    m_NewTblLst.offset = placement.offset;
}

// The one place where instructions touch table bytes in memory. Old copies are read from the
// installed file straight into the new table.
bool TagObj::createUpdateTagObject(const TableInstructions& record, std::span<std::uint8_t> into, Reason* why) {
    const auto unreadable = [&] {
        return refuse(why, "font-unreadable", QStringLiteral("table %1 can't be read").arg(quoted(tag())));
    };
    m_pNewUpdateData = {};
    const TableInstructions::Placement placement = record.placement();
    // The whole record is checked before anything is written, so a refused record leaves
    // its place as it was.
    if (!recordHolds(record, into.size(), why)) return false;
    if (record.isUpdateFlag()) {
        // Old copies first, then new data: where they overlap the new data wins, and a later
        // instruction of the same kind wins over an earlier one.
        for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j) {
            const _oldFontStruct copy = record.oldCopy(j);
            if (!readInstalled(copy.src_offset, into.subspan(copy.dst_offset, copy.src_length))) return unreadable();
        }
        for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
            std::span<const std::uint8_t> data;
            const _newFontStruct place = record.newData(i, data);
            if (!data.empty()) std::memcpy(into.data() + place.offset, data.data(), data.size());
        }
    } else if (!readInstalled(0, into)) {
        return unreadable();
    }

    m_pNewUpdateData = into;
    placedAt(placement);
    m_NewTblLst.checksum = CommonTool::tableChecksum(into);
    return true;
}

TagObj::Written TagObj::writeUpdateTagObject(const TableInstructions& record, platform::NewFile& out, Reason* why) {
    m_pNewUpdateData = {};
    const TableInstructions::Placement placement = record.placement();
    if (!recordHolds(record, placement.length, why)) return Written::Refused;
    if (!m_installed || placement.offset > out.size() || placement.length > out.size() - placement.offset) {
        refuse(why, "layout-outside", QStringLiteral("table %1 lies outside the new font").arg(quoted(tag())));
        return Written::Refused;
    }
    const std::uint64_t from = m_TableList.offset, to = placement.offset;
    bool written = true;
    if (!record.isUpdateFlag()) {
        written = out.copy(*m_installed, from, placement.length, to);
    } else {
        for (const TablePiece& piece : tablePieces(record)) {
            written = piece.fromInstalled ? out.copy(*m_installed, from + piece.source, piece.length, to + piece.at)
                                          : out.write(to + piece.at, piece.data);
            if (!written) break;
        }
    }
    if (!written) {
        refuse(why, "temp-write", QStringLiteral("table %1 could not be written into the new font").arg(quoted(tag())));
        return Written::Failed;
    }
    placedAt(placement);
    return Written::Done;
}

}  // namespace fr
