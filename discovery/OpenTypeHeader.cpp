#include "fonttables/ByteReader.h"
#include "fonttables/OpenTypeManager.h"

#include <algorithm>
#include <cstring>

namespace fr {

bool OpenTypeManager::checkOpenTypeHeader(std::span<const std::uint8_t> image, std::int32_t length,
                                          _sfntHeader& out) {
    // Never trust the stated length beyond the bytes actually held.
    const std::size_t usable = std::min<std::size_t>(length < 0 ? 0 : static_cast<std::size_t>(length), image.size());
    const bytes::Reader in(image.first(usable));
    if (!in.has(0, 12)) return false;

    std::memcpy(&out.version, image.data(), 4);  // as the four bytes stand
    out.numTables = *in.u16(4);
    out.searchRange = *in.u16(6);
    out.entrySelector = *in.u16(8);
    out.rangeShift = *in.u16(10);
    return std::memcmp(image.data(), "OTTO", 4) == 0;
}

}  // namespace fr
