// The installed copy's License Description strings (name ID 13): read from the installed
// font before the new one is built, written over the new font's own afterwards.

#include "fonttables/LicenseStrings.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/NameTable.h"
#include "fonttables/OpenTypeManager.h"
#include "fonttables/SfntLayout.h"

#include <cstring>

namespace fr {

namespace {
constexpr std::uint16_t kMacintosh = 1, kMacRoman = 0, kMacEnglish = 0;
constexpr std::uint16_t kWindows = 3, kWindowsUnicodeBmp = 1, kWindowsEnglishUS = 0x0409;
}  // namespace

bool OpenTypeManager::getSerialNumber(NameField& mac, NameField& windows) const {
    const TagObj* nameObject = nullptr;
    for (const auto& table : m_TagArray) {
        if (table->tag() == Tag("name")) {
            nameObject = table.get();
            break;
        }
    }
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

bool OpenTypeManager::readLicenseStrings() {
    m_SerialNumber.fill(0);
    m_SerialNumberUni.fill(0);
    return getSerialNumber(m_SerialNumber, m_SerialNumberUni);
}

void OpenTypeManager::setLicenseStrings(const NameField& mac, const NameField& windows) {
    m_SerialNumber = mac;
    m_SerialNumberUni = windows;
}

std::optional<FoundTable> findNameRecord(std::span<const std::uint8_t> image, std::size_t numTables) {
    return findTable(image, numTables, Tag("name"));
}

std::optional<std::vector<LicenseSlot>> licenseSlots(std::span<const std::uint8_t> image, const TableRecord& name) {
    const auto table = tableBytes(image, name);
    if (!table) return std::nullopt;
    const auto view = NameTableView::open(*table);
    if (!view) return std::nullopt;
    std::vector<LicenseSlot> places;
    for (std::size_t k = 0; k < view->count(); ++k) {
        const NameRecord r = view->record(k);
        if (r.nameID != kLicenseDescription) continue;
        const auto at = view->stringAt(r);
        if (!at || r.length > sfnt::kNameFieldSize) return std::nullopt;
        if (r.length != 0 && *at < view->recordsEnd()) return std::nullopt;
        places.push_back({r.platformID, std::size_t{name.offset} + *at, r.length});
    }
    return places;
}

void writeLicenseStrings(std::span<std::uint8_t> image, const std::vector<LicenseSlot>& places,
                         const std::array<std::uint8_t, 255>& mac, const std::array<std::uint8_t, 255>& windows) {
    for (const LicenseSlot& slot : places) {
        const auto& field = slot.platformID == kMacintosh ? mac : windows;
        if (bytes::fits(image.size(), slot.at, slot.length))
            std::memcpy(image.data() + slot.at, field.data(), slot.length);
    }
}

void refreshTableChecksum(std::span<std::uint8_t> image, const FoundTable& table) {
    const auto bytes = tableBytes(std::span<const std::uint8_t>(image), table.record);
    if (!bytes) return;
    TableRecord record = table.record;
    record.checksum = CommonTool::tableChecksum(*bytes);
    writeTableRecord(image, table.index, record);
}

}  // namespace fr
