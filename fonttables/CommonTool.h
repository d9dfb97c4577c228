#pragma once
// Stateless helpers: length rounding, the table checksum and two small file tests.

#include "platform/Files.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace fr {

class CommonTool {
public:
    CommonTool() = delete;

    // A length rounded up to a multiple of four, for 0 <= n <= 2^31 - 4.
    static std::int32_t byte4_chk(std::int32_t n);
    // The same rounding where the length comes from a file: nothing when it can't be
    // rounded in 32 signed bits (negative, or above 2^31 - 4).
    static std::optional<std::int32_t> byte4_chk_checked(std::int64_t n);

    // The OpenType table checksum of the bytes: the wrapping sum of their big-endian 32-bit
    // words, the last word padded with zeros to four bytes. Reads nothing beyond the span.
    static std::uint32_t tableChecksum(std::span<const std::uint8_t> bytes);
    // The same over `length` bytes at `data`, padded as above (the padding a caller's buffer
    // holds is zero in every use, so it makes no difference to read it or not).
    static std::uint32_t calcTableCheckSum(const std::uint8_t* data, std::uint32_t length) {
        return tableChecksum(std::span<const std::uint8_t>(data, length));
    }

    // File tests, links followed.
    static bool fileExist(const platform::Files& files, const QString& path);
    static bool fileDirectory(const platform::Files& files, const QString& path);
};

}  // namespace fr
