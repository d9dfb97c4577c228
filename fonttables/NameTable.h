#pragma once
// A 'name' table read in one place: its header and its whole record array checked against
// the table's bytes when it is opened, and each string checked when it is asked for.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace fr {

// One name record, its numbers in host order.
struct NameRecord {
    std::uint16_t platformID = 0, encodingID = 0, languageID = 0, nameID = 0, length = 0, offset = 0;
};

// Why a 'name' table is not well formed, or nothing where it is: its record count and the
// offset of its string storage inside the table, every record's string inside the storage.
std::optional<QString> nameTableFault(std::span<const std::uint8_t> table);

class NameTableView {
public:
    // The table's header and record array, when both lie inside `table`.
    static std::optional<NameTableView> open(std::span<const std::uint8_t> table);

    std::size_t count() const { return m_count; }
    std::uint16_t stringOffset() const { return m_stringOffset; }
    NameRecord record(std::size_t k) const;  // k < count()
    // Where the header and the records end: no string of the table's own may lie before.
    std::size_t recordsEnd() const;

    // Where a record's string lies in the table, when it lies there whole.
    std::optional<std::size_t> stringAt(const NameRecord& r) const;
    std::optional<std::span<const std::uint8_t>> string(const NameRecord& r) const;
    // The first record with these four numbers.
    std::optional<NameRecord> find(std::uint16_t platformID, std::uint16_t encodingID, std::uint16_t languageID,
                                   std::uint16_t nameID) const;

private:
    std::span<const std::uint8_t> m_table;
    std::size_t m_count = 0;
    std::uint16_t m_stringOffset = 0;
};

}  // namespace fr
