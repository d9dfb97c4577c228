#pragma once
// The one way the program reads numbers out of font and patch bytes: every read names the
// offset and the width it needs, and a read that would leave the bytes held fails cleanly.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace bytes {

// True when [offset, offset + count) lies inside a buffer of `size` bytes (overflow-safe).
constexpr bool fits(std::size_t size, std::size_t offset, std::size_t count) {
    return offset <= size && count <= size - offset;
}

class Reader {
public:
    constexpr Reader() = default;
    constexpr explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}

    constexpr std::size_t size() const { return m_data.size(); }
    constexpr std::span<const std::uint8_t> data() const { return m_data; }
    constexpr bool has(std::size_t offset, std::size_t count) const { return fits(m_data.size(), offset, count); }

    std::optional<std::uint8_t> u8(std::size_t offset) const {
        if (!has(offset, 1)) return std::nullopt;
        return m_data[offset];
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>((m_data[offset] << 8) | m_data[offset + 1]);
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return (std::uint32_t(m_data[offset]) << 24) | (std::uint32_t(m_data[offset + 1]) << 16) |
               (std::uint32_t(m_data[offset + 2]) << 8) | std::uint32_t(m_data[offset + 3]);
    }
    // The `count` bytes at `offset`, or nothing when they run past the end.
    std::optional<std::span<const std::uint8_t>> slice(std::size_t offset, std::size_t count) const {
        if (!has(offset, count)) return std::nullopt;
        return m_data.subspan(offset, count);
    }

private:
    std::span<const std::uint8_t> m_data;
};

// Big-endian stores into a buffer; false (and nothing written) when they would leave it.
inline bool putU16(std::span<std::uint8_t> out, std::size_t offset, std::uint16_t v) {
    if (!fits(out.size(), offset, 2)) return false;
    out[offset] = std::uint8_t(v >> 8);
    out[offset + 1] = std::uint8_t(v);
    return true;
}
inline bool putU32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t v) {
    if (!fits(out.size(), offset, 4)) return false;
    out[offset] = std::uint8_t(v >> 24);
    out[offset + 1] = std::uint8_t(v >> 16);
    out[offset + 2] = std::uint8_t(v >> 8);
    out[offset + 3] = std::uint8_t(v);
    return true;
}

}  // namespace bytes
