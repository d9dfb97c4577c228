#include "platform/ReadableBytes.h"

#include <cstring>

namespace platform {

bool BytesInMemory::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    return true;
}

}  // namespace platform
