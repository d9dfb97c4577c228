#include "platform/NewFile.h"

#include "platform/Files.h"

#include <cstring>

namespace platform {

NewFileInMemory::NewFileInMemory(std::uint64_t length, Files* files, QString path)
    : m_bytes(static_cast<std::size_t>(length)), m_files(files), m_path(std::move(path)) {}

bool NewFileInMemory::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    return true;
}

bool NewFileInMemory::write(std::uint64_t at, std::span<const std::uint8_t> bytes) {
    if (at > m_bytes.size() || bytes.size() > m_bytes.size() - at) return false;
    if (!bytes.empty()) std::memcpy(m_bytes.data() + at, bytes.data(), bytes.size());
    return true;
}

bool NewFileInMemory::copy(const ReadableBytes& from, std::uint64_t offset, std::uint64_t length, std::uint64_t at) {
    if (at > m_bytes.size() || length > m_bytes.size() - at) return false;
    return from.readAt(offset,
                       std::span(m_bytes).subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(length)));
}

bool NewFileInMemory::close() { return !m_files || m_files->createExclusive(m_path, m_bytes); }

}  // namespace platform
