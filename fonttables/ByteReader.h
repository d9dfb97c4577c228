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

// Exactly N bytes, checked once when taken: each read names its offset at compile time, so it
// can't leave them, and yields its value directly.
template <std::size_t N>
class Fixed {
public:
    constexpr explicit Fixed(std::span<const std::uint8_t, N> bytes) : m_bytes(bytes) {}
    constexpr std::span<const std::uint8_t, N> bytes() const { return m_bytes; }

    template <std::size_t At>
    constexpr std::uint8_t u8() const {
        static_assert(At + 1 <= N);
        return m_bytes[At];
    }
    template <std::size_t At>
    constexpr std::uint16_t u16() const {
        static_assert(At + 2 <= N);
        return static_cast<std::uint16_t>((m_bytes[At] << 8) | m_bytes[At + 1]);
    }
    template <std::size_t At>
    constexpr std::uint32_t u32() const {
        static_assert(At + 4 <= N);
        return (std::uint32_t(m_bytes[At]) << 24) | (std::uint32_t(m_bytes[At + 1]) << 16) |
               (std::uint32_t(m_bytes[At + 2]) << 8) | std::uint32_t(m_bytes[At + 3]);
    }
    template <std::size_t At, std::size_t Count>
    constexpr std::span<const std::uint8_t, Count> slice() const {
        static_assert(At + Count <= N);
        return m_bytes.template subspan<At, Count>();
    }

private:
    std::span<const std::uint8_t, N> m_bytes;
};

class Reader {
public:
    constexpr explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}

    constexpr bool has(std::size_t offset, std::size_t count) const { return fits(m_data.size(), offset, count); }

    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>((m_data[offset] << 8) | m_data[offset + 1]);
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return (std::uint32_t(m_data[offset]) << 24) | (std::uint32_t(m_data[offset + 1]) << 16) |
               (std::uint32_t(m_data[offset + 2]) << 8) | std::uint32_t(m_data[offset + 3]);
    }
    // The N bytes at `offset` as a structure to read fields from, or nothing when they run
    // past the end.
    template <std::size_t N>
    std::optional<Fixed<N>> fixed(std::size_t offset) const {
        if (!has(offset, N)) return std::nullopt;
        return Fixed<N>(m_data.subspan(offset).template first<N>());
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
