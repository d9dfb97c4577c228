#pragma once
// The digests that prove a font's tables are the ones a patch was made from and for: XXH3-128
// of each table's bytes, in the canonical (big-endian) byte order that the hexadecimal form
// shows. 'head' is digested with its checkSumAdjustment field taken as zero, and 'name' is
// not digested at all: both depend on the user's copy, not on the revision.

#include "fonttables/Digest.h"
#include "fonttables/Tag.h"
#include "platform/ReadableBytes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace fr {

// XXH3-128 over bytes given a piece at a time.
class Hasher {
public:
    Hasher();
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
    void update(std::span<const std::uint8_t> bytes);
    Digest128 digest() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

Digest128 digestOf(std::span<const std::uint8_t> bytes);

// Whether a table of this tag is digested ('name' is not).
bool isDigested(const Tag& tag);
// The digest of a table's bytes as the revisions are compared: 'head' with its adjustment
// field taken as zero.
Digest128 tableDigest(const Tag& tag, std::span<const std::uint8_t> table);
// The same of a table of a font read where it lies, through `buffer`; nothing when its bytes
// can't all be read.
std::optional<Digest128> tableDigest(const Tag& tag, const platform::ReadableBytes& font, std::uint64_t offset,
                                     std::uint64_t length, const platform::PieceBuffer& buffer);

}  // namespace fr
