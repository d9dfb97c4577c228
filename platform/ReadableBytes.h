#pragma once
// Bytes read where they lie: a file opened once and read at offsets as they are needed, or
// bytes already in memory. Every read names its offset and length and fails cleanly when
// the bytes are not all there; nothing is read beyond the size known when it was opened.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {

class ReadableBytes {
public:
    virtual ~ReadableBytes() = default;
    virtual std::uint64_t size() const = 0;
    // Copies the bytes [offset, offset + out.size()) into `out`; false when they are not
    // all there or can't be read.
    virtual bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
    // The open file behind the bytes, where there is one: a copy out of it can then stay in
    // the kernel. -1 for anything else.
    virtual int descriptor() const { return -1; }

    // The `count` bytes at `offset` in a vector of their own; nothing when not all there.
    std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::uint64_t count) const {
        if (offset > size() || count > size() - offset) return std::nullopt;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        if (!readAt(offset, bytes)) return std::nullopt;
        return bytes;
    }
};

// A buffer that a file is read through a piece at a time: left as it comes (every byte is
// read into it before it is used), so that no pass of zeros goes before the reads.
class PieceBuffer {
public:
    explicit PieceBuffer(std::size_t size)
        : m_bytes(std::make_unique_for_overwrite<std::uint8_t[]>(size)), m_size(size) {}
    // The first `size` bytes (at most the buffer's).
    std::span<std::uint8_t> first(std::size_t size) const { return {m_bytes.get(), std::min(size, m_size)}; }
    std::size_t size() const { return m_size; }

private:
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::size_t m_size;
};

// Bytes held in memory (a font built by a test, a file read whole).
class BytesInMemory : public ReadableBytes {
public:
    explicit BytesInMemory(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace platform
