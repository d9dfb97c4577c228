#include "platform/ReadableBytes.h"

#include <cstring>

namespace platform {

namespace {
bool copyOut(std::span<const std::uint8_t> from, std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > from.size() || out.size() > from.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), from.data() + offset, out.size());
    return true;
}
}  // namespace

bool BytesInMemory::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    return copyOut(m_bytes, offset, out);
}

bool BytesInSpan::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    return copyOut(m_bytes, offset, out);
}

}  // namespace platform
