// The installed copy's License Description strings (name ID 13), written over the new font's
// own.

#include "fonttables/LicenseStrings.h"

#include "fonttables/ByteReader.h"
#include "fonttables/NameTable.h"
#include "fonttables/SfntLayout.h"

#include <cstring>

namespace fr {

namespace {
constexpr std::uint16_t kMacintosh = 1;
}  // namespace

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

}  // namespace fr
