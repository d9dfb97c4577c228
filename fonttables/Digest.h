#pragma once
// A digest of N bytes and its one hexadecimal form: the table digests (XXH3-128) and a patch
// file's SHA-256 are both this type, read and written by the same codec.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace fr {

template <std::size_t N>
struct Digest {
    std::array<std::uint8_t, N> bytes{};
    friend bool operator==(const Digest&, const Digest&) = default;

    // Lower-case hexadecimal, two digits a byte.
    QString hex() const {
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(N)).toHex());
    }
    // Exactly 2N hexadecimal digits, either case; nothing for anything else.
    static std::optional<Digest> fromHex(QStringView text) {
        if (static_cast<std::size_t>(text.size()) != 2 * N) return std::nullopt;
        Digest d;
        for (std::size_t i = 0; i < N; ++i) {
            const qsizetype at = 2 * static_cast<qsizetype>(i);
            const int high = nibble(text[at]);
            const int low = nibble(text[at + 1]);
            if (high < 0 || low < 0) return std::nullopt;
            d.bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
        }
        return d;
    }

private:
    static int nibble(QChar c) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') return u - u'0';
        if (u >= u'a' && u <= u'f') return u - u'a' + 10;
        if (u >= u'A' && u <= u'F') return u - u'A' + 10;
        return -1;
    }
};

using Digest128 = Digest<16>;  // XXH3-128: tables and images
using Sha256 = Digest<32>;     // a patch file, as its vendor lists it

}  // namespace fr
