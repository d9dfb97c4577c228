#pragma once
// File names on Linux are bytes, not text. The program holds paths as QString, so a name is
// decoded losslessly: valid UTF-8 becomes its text, and every byte of an invalid sequence
// becomes a lone surrogate U+DC80..U+DCFF that encoding turns back into that very byte. A
// path taken from a listing therefore opens the same file, whatever bytes its name holds.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace platform {

QString decodeNativePath(QByteArrayView bytes);
QByteArray encodeNativePath(QStringView path);

// The length of the valid UTF-8 sequence of two to four bytes at `at`, its code point in `cp`;
// 0 when the bytes there are not one (overlong forms, surrogates and values above U+10FFFF
// included, and a single ASCII byte, which the callers take on their own).
std::size_t utf8SequenceAt(QByteArrayView bytes, qsizetype at, char32_t& cp);

// Bytes decoded as UTF-8, or nothing when they are not valid UTF-8 (overlong forms,
// surrogates, values above U+10FFFF and cut sequences included): text stored in fonts and
// patches, which is never decoded losslessly like a file name.
std::optional<QString> decodeUtf8Strict(std::span<const std::uint8_t> bytes);
// Bytes up to the first zero byte (all of them when there is none), decoded strictly.
std::optional<QString> decodeZeroTerminatedUtf8(std::span<const std::uint8_t> bytes);

}  // namespace platform
