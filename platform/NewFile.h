#pragma once
// A new file written a piece at a time, as a new font is made: bytes from memory, and ranges
// of another file copied in the kernel where the two allow it, so that what a patch leaves as
// it was never passes through the program. Its length is fixed when it is made; what nothing
// wrote reads as zeros. It reads back what it holds, and gives all of it at once where a
// reader needs that, mapped where it stands.

#include "platform/ReadableBytes.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace platform {

class Files;

class NewFile : public ReadableBytes {
public:
    virtual bool write(std::uint64_t at, std::span<const std::uint8_t> bytes) = 0;
    // The `length` bytes of `from` at `offset`, written at `at`; false when not all were.
    virtual bool copy(const ReadableBytes& from, std::uint64_t offset, std::uint64_t length, std::uint64_t at) = 0;
    // Every byte it holds, for a reader that needs them at once (pages mapped as they are
    // read); empty where that can't be. Valid until close().
    virtual std::span<const std::uint8_t> view() = 0;
    // Writing is done: the file is complete and closed (a late write error shows here).
    virtual bool close() = 0;
};

// A new file in memory: what a dry run makes, or what a Files without files of its own writes
// out at the end (`files` and `path` given: created then, as Files::createExclusive does).
class NewFileInMemory : public NewFile {
public:
    explicit NewFileInMemory(std::uint64_t length, Files* files = nullptr, QString path = {});
    std::uint64_t size() const override { return m_bytes.size(); }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;
    bool write(std::uint64_t at, std::span<const std::uint8_t> bytes) override;
    bool copy(const ReadableBytes& from, std::uint64_t offset, std::uint64_t length, std::uint64_t at) override;
    std::span<const std::uint8_t> view() override { return m_bytes; }
    bool close() override;

private:
    std::vector<std::uint8_t> m_bytes;
    Files* m_files;
    QString m_path;
};

}  // namespace platform
