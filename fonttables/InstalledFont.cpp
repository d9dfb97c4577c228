#include "fonttables/InstalledFont.h"

#include "fonttables/CommonTool.h"
#include "fonttables/LicenseStrings.h"
#include "fonttables/NameTable.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace fr {

const char* const kAcceptedTags[17] = {"BASE", "CFF ", "GPOS", "GSUB", "OS/2", "VORG", "cmap", "head", "hhea",
                                       "hmtx", "maxp", "name", "post", "vhea", "vmtx", "EBLC", "EBDT"};

namespace {
bool isAcceptedTag(const Tag& tag) {
    return std::any_of(std::begin(kAcceptedTags), std::end(kAcceptedTags), [&](const char* accepted) {
        return Tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(accepted), 4)) == tag;
    });
}

constexpr std::uint16_t kMacintosh = 1, kMacRoman = 0, kMacEnglish = 0;
constexpr std::uint16_t kWindows = 3, kWindowsUnicodeBmp = 1, kWindowsEnglishUS = 0x0409;
}  // namespace

const platform::ReadableBytes& InstalledFont::bytes() const {
    static const platform::BytesInMemory kNone({});
    if (m_installed) return *m_installed;
    return kNone;
}

bool InstalledFont::load(std::unique_ptr<platform::ReadableBytes> font, Reason* why) {
    // The table objects point into the directory being replaced.
    m_TagArray.clear();
    m_sfntHead = {};
    m_pReadData.clear();
    m_fileLength = 0;
    m_installed = std::move(font);
    if (!m_installed) return refuse(why, "font-unreadable", QStringLiteral("the file can't be opened for reading"));
    // Lengths are 32-bit signed throughout the engine: a larger file is no font of ours.
    const std::uint64_t size = m_installed->size();
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return refuse(why, "font-too-large",
                      QStringLiteral("%1 bytes, more than any font of these families").arg(size));
    m_fileLength = static_cast<std::int32_t>(size);

    const auto offsetTable = m_installed->read(0, sfnt::offset_table::kSize);
    if (!offsetTable)
        return refuse(why, "font-truncated", QStringLiteral("%1 bytes, shorter than an offset table").arg(size));
    const auto header = readOffsetTable(*offsetTable);
    if (!header || !hasCffOutlines(*header))
        return refuse(why, "font-not-cff", QStringLiteral("not an OpenType font with CFF outlines"));
    m_sfntHead = *header;
    auto directory = m_installed->read(0, sfnt::recordAt(m_sfntHead.numTables));
    if (!directory)
        return refuse(why, "font-truncated",
                      QStringLiteral("its directory of %1 tables ends past the file's end").arg(m_sfntHead.numTables));
    m_pReadData = std::move(*directory);

    for (std::size_t i = 0; i < m_sfntHead.numTables; ++i) {
        const auto record = readTableRecord(m_pReadData, i);
        if (!record) return refuse(why, "font-truncated", QStringLiteral("table record %1 can't be read").arg(i));
        if (!isAcceptedTag(record->tag))
            return refuse(why, "font-table-unexpected",
                          QStringLiteral("table %1, which no revision of these fonts holds").arg(quoted(record->tag)));
        if (record->offset > size || record->length > size - record->offset ||
            !CommonTool::byte4_chk_checked(record->length))
            return refuse(why, "font-table-outside",
                          QStringLiteral("table %1 (offset %2, %3 bytes) lies outside the file of %4 bytes")
                              .arg(quoted(record->tag))
                              .arg(record->offset)
                              .arg(record->length)
                              .arg(size));
        auto table = std::make_unique<TagObj>();
        table->CreateTagObject(2, m_pReadData.data() + sfnt::recordAt(i), *m_installed);
        m_TagArray.push_back(std::move(table));
    }
    return true;
}

TagObj* InstalledFont::getTagObjectName(const char* tag) const {
    if (tag == nullptr) return nullptr;
    for (const auto& table : m_TagArray) {
        char name[5] = {0, 0, 0, 0, 0};
        table->getTagName(name);
        if (std::strcmp(name, tag) == 0) return table.get();
    }
    return nullptr;
}

TagObj* InstalledFont::getTagObjectIndex(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_TagArray.size()) return nullptr;
    return m_TagArray[static_cast<std::size_t>(index)].get();
}

bool InstalledFont::getSerialNumber(NameField& mac, NameField& windows) const {
    const TagObj* nameObject = getTagObjectName("name");
    if (nameObject == nullptr) return false;
    const auto table = nameObject->installedTable();
    if (!table) return false;
    const auto name = NameTableView::open(*table);
    if (!name || name->count() == 0) return false;

    // The first record of each kind wins; a string that would not fit its 255-byte field,
    // or that lies outside the table, makes the font's strings unusable.
    bool macTaken = false, windowsTaken = false;
    auto take = [&](const NameRecord& r, NameField& field) {
        const auto string = name->string(r);
        if (!string || string->size() > field.size()) return false;
        std::memcpy(field.data(), string->data(), string->size());
        return true;
    };
    for (std::size_t k = 0; k < name->count(); ++k) {
        const NameRecord r = name->record(k);
        if (r.nameID != kLicenseDescription) continue;
        if (!macTaken && r.platformID == kMacintosh && r.encodingID == kMacRoman && r.languageID == kMacEnglish) {
            if (!take(r, mac)) return false;
            macTaken = true;
        } else if (!windowsTaken && r.platformID == kWindows && r.encodingID == kWindowsUnicodeBmp &&
                   r.languageID == kWindowsEnglishUS) {
            if (!take(r, windows)) return false;
            windowsTaken = true;
        }
    }
    return macTaken && windowsTaken;
}

}  // namespace fr
