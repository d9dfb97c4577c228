#include "fonttables/TableDigest.h"

#include "fonttables/SfntLayout.h"

#include <xxhash.h>
#if defined(__x86_64__) || defined(__i386__)
// The library's own choice of the widest vector unit this processor has (AVX2 where there is
// one), in place of the SSE2 code the plain entry points are built with.
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace fr {

struct Hasher::State {
    XXH3_state_t* state = XXH3_createState();
    ~State() { XXH3_freeState(state); }
};

Hasher::Hasher() : m_state(std::make_unique<State>()) {
    if (!m_state->state) throw std::bad_alloc();
    XXH3_128bits_reset(m_state->state);
}

Hasher::~Hasher() = default;

void Hasher::update(std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) XXH3_128bits_update(m_state->state, bytes.data(), bytes.size());
}

namespace {
Digest128 canonical(XXH128_hash_t hash) {
    XXH128_canonical_t c;
    XXH128_canonicalFromHash(&c, hash);
    Digest128 d;
    std::memcpy(d.bytes.data(), c.digest, d.bytes.size());
    return d;
}
}  // namespace

Digest128 Hasher::digest() const { return canonical(XXH3_128bits_digest(m_state->state)); }

Digest128 digestOf(std::span<const std::uint8_t> bytes) { return canonical(XXH3_128bits(bytes.data(), bytes.size())); }

bool isDigested(const Tag& tag) { return !(tag == Tag("name")); }

namespace {
// Adds bytes that begin at `at` of a table to its digest; in 'head' the adjustment field
// counts as zero.
void digestPiece(Hasher& hasher, bool head, std::uint64_t at, std::span<const std::uint8_t> bytes) {
    constexpr std::uint64_t from = sfnt::head::kCheckSumAdjustment, to = sfnt::head::kAdjustmentEnd;
    if (!head || at >= to || at + bytes.size() <= from) return hasher.update(bytes);
    const auto a = static_cast<std::size_t>(std::max(from, at) - at);
    const auto b = static_cast<std::size_t>(std::min(to, at + bytes.size()) - at);
    static constexpr std::uint8_t zeros[4] = {};
    hasher.update(bytes.first(a));
    hasher.update(std::span(zeros).first(b - a));
    hasher.update(bytes.subspan(b));
}
}  // namespace

Digest128 tableDigest(const Tag& tag, std::span<const std::uint8_t> table) {
    if (!(tag == Tag("head")) || table.size() < sfnt::head::kAdjustmentEnd) return digestOf(table);
    Hasher hasher;
    digestPiece(hasher, true, 0, table);
    return hasher.digest();
}

std::optional<Digest128> tableDigest(const Tag& tag, const platform::ReadableBytes& font, std::uint64_t offset,
                                     std::uint64_t length, const platform::PieceBuffer& buffer) {
    const std::uint64_t kPiece = buffer.size();  // hot in the cache while it is digested
    if (offset > font.size() || length > font.size() - offset || kPiece == 0) return std::nullopt;
    const bool head = tag == Tag("head") && length >= sfnt::head::kAdjustmentEnd;
    Hasher hasher;
    for (std::uint64_t at = 0; at < length; at += kPiece) {
        const auto piece = buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, length - at)));
        if (!font.readAt(offset + at, piece)) return std::nullopt;
        digestPiece(hasher, head, at, piece);
    }
    return hasher.digest();
}

}  // namespace fr
