// The installed copy's License Description strings (name ID 13): read from the installed
// font before the new one is built, written over the new font's own afterwards.

#include "fonttables/ByteReader.h"
#include "fonttables/ImageSum.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/ProgressText.h"

#include <algorithm>
#include <cstring>

namespace fr {

namespace {
constexpr std::uint16_t kLicenseDescription = 13;

// One name record, its numbers in host order.
struct NameRecord {
    std::uint16_t platformID, encodingID, languageID, nameID, length, offset;
};

// A 'name' table that lies whole inside the bytes, with its record array inside the table.
struct NameTable {
    bytes::Reader table;
    std::uint16_t count = 0;
    std::uint16_t stringOffset = 0;

    NameRecord record(std::size_t k) const {
        const std::size_t at = kNameHeaderSize + kNameRecordSize * k;
        return {*table.u16(at), *table.u16(at + 2), *table.u16(at + 4),
                *table.u16(at + 6), *table.u16(at + 8), *table.u16(at + 10)};
    }
    // Where a record's string lies inside the table, when it lies there whole.
    std::optional<std::size_t> stringAt(const NameRecord& r) const {
        const std::size_t at = std::size_t{stringOffset} + r.offset;
        if (!table.has(at, r.length)) return std::nullopt;
        return at;
    }
};

// The table of `length` bytes at `offset` of `font`, when it and its records lie in the bytes.
std::optional<NameTable> openNameTable(std::span<const std::uint8_t> font, std::uint32_t offset,
                                       std::uint32_t length) {
    const auto bytesOfTable = bytes::Reader(font).slice(offset, length);
    if (!bytesOfTable) return std::nullopt;
    NameTable name{bytes::Reader(*bytesOfTable)};
    if (!name.table.has(0, kNameHeaderSize)) return std::nullopt;
    name.count = *name.table.u16(2);
    name.stringOffset = *name.table.u16(4);
    if (!name.table.has(kNameHeaderSize, kNameRecordSize * name.count)) return std::nullopt;
    return name;
}

bool isName(const std::uint8_t* tag) { return std::memcmp(tag, "name", 4) == 0; }
}  // namespace

bool OpenTypeManager::getSerialNumber(std::array<std::uint8_t, 255>& mac, std::array<std::uint8_t, 255>& windows) const {
    const TagObj* nameObject = nullptr;
    for (const auto& table : m_TagArray) {
        const _TableList record = table->getTableList();
        if (isName(reinterpret_cast<const std::uint8_t*>(record.tag))) {
            nameObject = table.get();
            break;
        }
    }
    if (nameObject == nullptr) return false;

    const std::size_t fileLength =
        std::min<std::size_t>(m_fileLength < 0 ? 0 : static_cast<std::size_t>(m_fileLength), m_pReadData.size());
    const std::span<const std::uint8_t> font(m_pReadData.data(), fileLength);
    const _TableList record = nameObject->getTableList();
    const auto name = openNameTable(font, record.offset, record.length);
    if (!name || name->count == 0) return false;

    // The first record of each kind wins; a string that would not fit its 255-byte field,
    // or that lies outside the table, makes the font's strings unusable.
    bool macTaken = false, windowsTaken = false;
    auto take = [&](const NameRecord& r, std::array<std::uint8_t, 255>& field) {
        const auto at = name->stringAt(r);
        if (!at || r.length > kNameFieldSize) return false;
        std::memcpy(field.data(), name->table.data().data() + *at, r.length);
        return true;
    };
    for (std::size_t k = 0; k < name->count; ++k) {
        const NameRecord r = name->record(k);
        if (r.nameID != kLicenseDescription) continue;
        if (!macTaken && r.platformID == 1 && r.encodingID == 0 && r.languageID == 0) {
            if (!take(r, mac)) return false;
            macTaken = true;
        } else if (!windowsTaken && r.platformID == 3 && r.encodingID == 1 && r.languageID == 0x0409) {
            if (!take(r, windows)) return false;
            windowsTaken = true;
        }
    }
    return macTaken && windowsTaken;
}

std::int32_t OpenTypeManager::changeSerialNumber(const QString& path, _sfntHeader head, RevisionProgressProc proc,
                                                 void* context, std::int32_t count, std::int32_t index) {
    const std::size_t imageLength = std::min<std::size_t>(m_WriteLength, m_pWriteData.size());
    const std::span<std::uint8_t> image(m_pWriteData.data(), imageLength);

    // The new directory's 'name' record; a record past the image ends the walk.
    std::optional<std::size_t> recordAt;
    for (std::size_t i = 0; i < head.numTables; ++i) {
        const std::size_t at = kOffsetTableSize + kTableRecordSize * i;
        if (!bytes::fits(image.size(), at, kTableRecordSize)) break;
        if (isName(image.data() + at)) {
            recordAt = at;
            break;
        }
    }
    if (!recordAt) return result::kFontUnusable;

    const bytes::Reader directory(image);
    const std::uint32_t offset = *directory.u32(*recordAt + 8);
    const std::uint32_t length = *directory.u32(*recordAt + 12);
    const auto name = openNameTable(image, offset, length);
    if (!name) return result::kFontUnusable;

    // Every License Description record must hold a string inside the table and no longer
    // than the 255-byte fields; checked whole before anything is written.
    for (std::size_t k = 0; k < name->count; ++k) {
        const NameRecord r = name->record(k);
        if (r.nameID != kLicenseDescription) continue;
        if (r.length > kNameFieldSize || !name->stringAt(r)) return result::kFontUnusable;
    }

    if (progress::report(proc, context, 65, count, index, path,
                         progress::serialNumberLine(progress::fileName(path))))
        return result::kCancelled;

    for (std::size_t k = 0; k < name->count; ++k) {
        const NameRecord r = name->record(k);
        if (r.nameID != kLicenseDescription) continue;
        const auto& field = r.platformID == 1 ? m_SerialNumber : m_SerialNumberUni;
        std::memcpy(image.data() + offset + *name->stringAt(r), field.data(), r.length);
    }

    // Padding past the image's end counts as zero.
    const std::uint32_t checksum = paddedTableSum(image, offset, length);
    bytes::putU32(image, *recordAt + 4, checksum);
    return result::kRevised;
}

}  // namespace fr
