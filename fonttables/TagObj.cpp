#include "fonttables/TagObj.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <algorithm>
#include <vector>

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

namespace {
// Installed bytes no copy reads are digested through a buffer of this size, and copies are
// read in pieces of it, each digested while it is hot in the cache.
constexpr std::size_t kPiece = 256 * 1024;

// The old copies that read anything.
std::vector<_oldFontStruct> copiesOf(const TableInstructions& record) {
    std::vector<_oldFontStruct> copies;
    copies.reserve(static_cast<std::size_t>(record.getOldCopyArraySize()));
    for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j)
        if (record.oldCopy(j).src_length != 0) copies.push_back(record.oldCopy(j));
    return copies;
}

// The copies write disjoint parts of the new table, so the order they are applied in makes
// no difference.
bool writeApart(std::vector<_oldFontStruct> copies) {
    std::sort(copies.begin(), copies.end(),
              [](const _oldFontStruct& a, const _oldFontStruct& b) { return a.dst_offset < b.dst_offset; });
    for (std::size_t k = 1; k < copies.size(); ++k)
        if (copies[k].dst_offset < std::uint64_t{copies[k - 1].dst_offset} + copies[k - 1].src_length) return false;
    return true;
}

// The checksum of the new table and, when asked, its digest, in one pass over its bytes.
std::uint32_t checksumAndDigest(const Tag& tag, std::span<const std::uint8_t> table, Digest128* digest) {
    if (!digest) return CommonTool::tableChecksum(table);
    if (tag == Tag("head")) {
        *digest = tableDigest(tag, table);
        return CommonTool::tableChecksum(table);
    }
    constexpr std::size_t kBlock = 64 * 1024;  // a whole number of words, hot in the cache for both
    Hasher hasher;
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < table.size(); at += kBlock) {
        const auto block = table.subspan(at, std::min(kBlock, table.size() - at));
        sum += CommonTool::tableChecksum(block);
        hasher.update(block);
    }
    *digest = hasher.digest();
    return sum;
}
}  // namespace

bool TagObj::digestInstalled(Digest128& digest, std::span<const _oldFontStruct> copies,
                             std::span<std::uint8_t> into) const {
    Hasher hasher;
    // Installed bytes from `at` on; the adjustment field of 'head' counts as zero.
    const bool head = tag() == Tag("head");
    const auto take = [&](std::uint64_t at, std::span<const std::uint8_t> bytes) {
        const std::uint64_t from = sfnt::head::kCheckSumAdjustment, to = sfnt::head::kAdjustmentEnd;
        if (!head || at >= to || at + bytes.size() <= from) return hasher.update(bytes);
        const auto a = static_cast<std::size_t>(std::max(from, at) - at);
        const auto b = static_cast<std::size_t>(std::min(to, at + bytes.size()) - at);
        static constexpr std::uint8_t zeros[4] = {};
        hasher.update(bytes.first(a));
        hasher.update(std::span(zeros).first(b - a));
        hasher.update(bytes.subspan(b));
    };
    std::uint64_t digested = 0;  // the installed bytes before this are in the digest
    std::vector<std::uint8_t> buffer;
    const auto digestUpTo = [&](std::uint64_t end) {
        while (digested < end) {
            if (buffer.empty()) buffer.resize(std::min<std::size_t>(kPiece, m_TableList.length));
            const auto piece = std::span(buffer).first(
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - digested)));
            if (!readInstalled(digested, piece)) return false;
            take(digested, piece);
            digested += piece.size();
        }
        return true;
    };
    // Each copy straight into its place, in pieces; what it adds to the digest taken from there.
    for (const _oldFontStruct& copy : copies) {
        if (!digestUpTo(copy.src_offset)) return false;
        for (std::uint64_t done = 0; done < copy.src_length; done += kPiece) {
            const std::uint64_t at = copy.src_offset + done;
            const auto place =
                into.subspan(static_cast<std::size_t>(copy.dst_offset + done),
                             static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, copy.src_length - done)));
            if (!readInstalled(at, place)) return false;
            if (at + place.size() > digested) {
                take(digested, place.subspan(static_cast<std::size_t>(digested - at)));
                digested = at + place.size();
            }
        }
    }
    if (!digestUpTo(m_TableList.length)) return false;
    digest = hasher.digest();
    return true;
}

// The one place where instructions touch table bytes. Old copies are read from the installed
// file straight into the new table.
bool TagObj::createUpdateTagObject(const TableInstructions& record, std::span<std::uint8_t> into, TableProof* proof,
                                   Reason* why) {
    const auto unreadable = [&] {
        return refuse(why, "font-unreadable", QStringLiteral("table %1 can't be read").arg(quoted(tag())));
    };
    m_pNewUpdateData = {};
    const TableInstructions::Placement placement = record.placement();
    m_TableNum = placement.slot;
    m_WriteNum = placement.dataPos;

    // A new table too long to round in 32 signed bits can't be a table of a font.
    const auto rounded = CommonTool::byte4_chk_checked(placement.length);
    if (!rounded || into.size() != placement.length)
        return refuse(why, "layout-length",
                      QStringLiteral("table %1 of %2 bytes").arg(quoted(tag())).arg(placement.length));
    m_byte4length = *rounded;

    // The whole record is checked before anything is written, so a refused record leaves
    // its place as it was.
    if (record.isUpdateFlag()) {
        if (!instructionsFit(record, m_TableList.length, placement.length, tag(), why)) return false;
        // Old copies first, then new data: where they overlap the new data wins, and a later
        // instruction of the same kind wins over an earlier one. When the installed table is
        // digested and the copies' order can't matter, they are read in the order of what they
        // read, with the digest.
        std::vector<_oldFontStruct> copies = copiesOf(record);
        const bool withDigest = proof && writeApart(copies);
        if (withDigest)
            std::sort(copies.begin(), copies.end(),
                      [](const _oldFontStruct& a, const _oldFontStruct& b) { return a.src_offset < b.src_offset; });
        if (proof &&
            !digestInstalled(proof->installed, withDigest ? std::span(copies) : std::span<_oldFontStruct>(), into))
            return false;
        if (!withDigest)
            for (const _oldFontStruct& copy : copies)
                if (!readInstalled(copy.src_offset, into.subspan(copy.dst_offset, copy.src_length))) return false;
        for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
            std::span<const std::uint8_t> data;
            const _newFontStruct place = record.newData(i, data);
            if (!data.empty()) std::memcpy(into.data() + place.offset, data.data(), data.size());
        }
    } else {
        // Carried over unchanged: the instructions must agree with the installed length.
        if (placement.length != m_TableList.length)
            return refuse(why, "table-length",
                          QStringLiteral("table %1 is carried over unchanged, but given %2 bytes where the font has %3")
                              .arg(quoted(tag()))
                              .arg(placement.length)
                              .arg(m_TableList.length));
        if (!readInstalled(0, into)) return unreadable();
    }

    m_pNewUpdateData = into;
    std::memcpy(m_NewTblLst.tag, m_TableList.tag, 4);
    m_NewTblLst.length = placement.length;  // the installed length, for an unchanged table
    m_NewTblLst.offset = placement.offset;
    m_NewTblLst.checksum = checksumAndDigest(tag(), into, proof ? &proof->made : nullptr);
    // An unchanged table is the installed one.
    if (proof && !record.isUpdateFlag()) proof->installed = proof->made;
    return true;
}

}  // namespace fr
