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

QString Digest128::hex() const {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()).toHex());
}

namespace {
int nibble(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}
}  // namespace

std::optional<Digest128> Digest128::fromHex(QStringView text) {
    if (text.size() != 32) return std::nullopt;
    Digest128 d;
    for (qsizetype i = 0; i < static_cast<qsizetype>(d.bytes.size()); ++i) {
        const int high = nibble(text[2 * i]), low = nibble(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        d.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return d;
}

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

Digest128 tableDigest(const Tag& tag, std::span<const std::uint8_t> table) {
    if (!(tag == Tag("head")) || table.size() < sfnt::head::kAdjustmentEnd) return digestOf(table);
    std::vector<std::uint8_t> head(table.begin(), table.end());
    std::fill_n(head.begin() + sfnt::head::kCheckSumAdjustment, 4, 0);
    return digestOf(head);
}

}  // namespace fr
