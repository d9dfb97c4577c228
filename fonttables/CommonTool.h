#pragma once
// Stateless helpers: length rounding, the table checksum and two small file tests.

#include <QString>

#include <cstdint>
#include <optional>

namespace fr {

class CommonTool {
public:
    CommonTool() = delete;

    // A length rounded up to a multiple of four, for 0 <= n <= 2^31 - 4.
    static std::int32_t byte4_chk(std::int32_t n);
    // The same rounding where the length comes from a file: nothing when it can't be
    // rounded in 32 signed bits (negative, or above 2^31 - 4).
    static std::optional<std::int32_t> byte4_chk_checked(std::int64_t n);

    // The OpenType table checksum: the wrapping sum of the big-endian 32-bit words over
    // `length` rounded up to four. The caller's buffer must reach that rounded length.
    static std::uint32_t calcTableCheckSum(const std::uint8_t* data, std::uint32_t length);

    // File tests, links followed (defined with the scan).
    static bool fileExist(const QString& path);
    static bool fileDirectory(const QString& path);
};

}  // namespace fr
