#pragma once
// A four-character table tag: the four bytes kept in file order and compared as a
// zero-terminated string of four characters, case-sensitive, so bytes after a zero byte
// don't count ("CFF " ends in a space; "ab\0c" equals "ab\0d").

#include <array>
#include <cstdint>
#include <span>

namespace fr {

class Tag {
public:
    constexpr Tag() = default;
    // From a literal: Tag("head").
    constexpr explicit Tag(const char (&text)[5])
        : m_bytes{static_cast<std::uint8_t>(text[0]), static_cast<std::uint8_t>(text[1]),
                  static_cast<std::uint8_t>(text[2]), static_cast<std::uint8_t>(text[3])} {}
    constexpr explicit Tag(std::span<const std::uint8_t, 4> bytes) : m_bytes{bytes[0], bytes[1], bytes[2], bytes[3]} {}

    constexpr const std::array<std::uint8_t, 4>& bytes() const { return m_bytes; }
    friend constexpr bool operator==(const Tag& a, const Tag& b) {
        for (std::size_t i = 0; i < 4; ++i) {
            if (a.m_bytes[i] != b.m_bytes[i]) return false;
            if (a.m_bytes[i] == 0) return true;
        }
        return true;
    }

private:
    std::array<std::uint8_t, 4> m_bytes{};
};

}  // namespace fr
