#include "fonttables/NameTable.h"

#include "fonttables/ByteReader.h"
#include "fonttables/SfntLayout.h"

namespace fr {

std::optional<NameTableView> NameTableView::open(std::span<const std::uint8_t> table) {
    namespace nh = sfnt::name_header;
    const bytes::Reader in(table);
    const auto header = in.fixed<nh::kSize>(0);
    if (!header) return std::nullopt;
    NameTableView view;
    view.m_table = table;
    view.m_count = header->u16<nh::kCount>();
    view.m_stringOffset = header->u16<nh::kStringOffset>();
    if (!in.has(nh::kSize, sfnt::name_record::kSize * view.m_count)) return std::nullopt;
    return view;
}

std::optional<QString> nameTableFault(std::span<const std::uint8_t> table) {
    const auto view = NameTableView::open(table);
    if (!view)
        return QStringLiteral("its %1 records run past its %2 bytes")
            .arg(bytes::Reader(table).u16(sfnt::name_header::kCount).value_or(0))
            .arg(table.size());
    if (view->stringOffset() > table.size())
        return QStringLiteral("its string storage at %1 lies past its %2 bytes")
            .arg(view->stringOffset())
            .arg(table.size());
    for (std::size_t k = 0; k < view->count(); ++k) {
        const NameRecord r = view->record(k);
        if (!view->stringAt(r))
            return QStringLiteral("record %1 (%2 bytes at %3 of the storage) lies past its end")
                .arg(k)
                .arg(r.length)
                .arg(r.offset);
    }
    return std::nullopt;
}

std::size_t NameTableView::recordsEnd() const { return sfnt::name_header::kSize + sfnt::name_record::kSize * m_count; }

NameRecord NameTableView::record(std::size_t k) const {
    namespace nr = sfnt::name_record;
    // Inside the record array, which open() found whole.
    const bytes::Fixed<nr::kSize> in(m_table.subspan(sfnt::name_header::kSize + nr::kSize * k).first<nr::kSize>());
    return {in.u16<nr::kPlatformID>(), in.u16<nr::kEncodingID>(), in.u16<nr::kLanguageID>(),
            in.u16<nr::kNameID>(),     in.u16<nr::kLength>(),     in.u16<nr::kOffset>()};
}

std::optional<std::size_t> NameTableView::stringAt(const NameRecord& r) const {
    const std::size_t at = std::size_t{m_stringOffset} + r.offset;
    if (!bytes::fits(m_table.size(), at, r.length)) return std::nullopt;
    return at;
}

std::optional<std::span<const std::uint8_t>> NameTableView::string(const NameRecord& r) const {
    const auto at = stringAt(r);
    if (!at) return std::nullopt;
    return m_table.subspan(*at, r.length);
}

std::optional<NameRecord> NameTableView::find(std::uint16_t platformID, std::uint16_t encodingID,
                                              std::uint16_t languageID, std::uint16_t nameID) const {
    for (std::size_t k = 0; k < m_count; ++k) {
        const NameRecord r = record(k);
        if (r.platformID == platformID && r.encodingID == encodingID && r.languageID == languageID &&
            r.nameID == nameID)
            return r;
    }
    return std::nullopt;
}

}  // namespace fr
