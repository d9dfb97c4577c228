#include "platform/NativePath.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) stands as U+DC00 + b

}  // namespace

std::size_t utf8SequenceAt(QByteArrayView bytes, qsizetype at, char32_t& cp) {
    const auto b = static_cast<std::uint8_t>(bytes[at]);
    std::size_t extra = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<qsizetype>(extra) >= bytes.size() - at) return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto c = static_cast<std::uint8_t>(bytes[at + static_cast<qsizetype>(k)]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return extra + 1;
}

QString decodeNativePath(QByteArrayView bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<std::uint8_t>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    // Most names are valid UTF-8 throughout: decode them in one go.
    bool valid = true;
    for (qsizetype i = 0; i < bytes.size() && valid;) {
        char32_t cp = 0;
        if (static_cast<std::uint8_t>(bytes[i]) < 0x80) {
            ++i;
        } else if (const std::size_t n = utf8SequenceAt(bytes, i, cp)) {
            i += static_cast<qsizetype>(n);
        } else {
            valid = false;
        }
    }
    if (valid) return QString::fromUtf8(bytes);

    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        char32_t cp = 0;
        if (const std::size_t n = utf8SequenceAt(bytes, i, cp)) {
            out.append(QString::fromUcs4(&cp, 1));
            i += static_cast<qsizetype>(n);
        } else {
            out.append(QChar(static_cast<char16_t>(kEscapeBase + b)));
            ++i;
        }
    }
    return out;
}

QByteArray encodeNativePath(QStringView path) {
    QByteArray out;
    out.reserve(path.size() * 3);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < path.size() && QChar::isLowSurrogate(path[i + 1].unicode())) {
            cp = QChar::surrogateToUcs4(u, path[i + 1].unicode());
            ++i;
        } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out.append(static_cast<char>(u - kEscapeBase));  // a byte that was not UTF-8
            continue;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD;  // no listing gives one; nothing better to write
        }
        if (cp < 0x80) {
            out.append(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.append(static_cast<char>(0xC0 | (cp >> 6)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(static_cast<char>(0xE0 | (cp >> 12)));
            out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.append(static_cast<char>(0xF0 | (cp >> 18)));
            out.append(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::optional<QString> decodeUtf8Strict(std::span<const std::uint8_t> bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (qsizetype i = 0; i < view.size();) {
        if (static_cast<std::uint8_t>(view[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = utf8SequenceAt(view, i, cp);
        if (length == 0) return std::nullopt;
        i += static_cast<qsizetype>(length);
    }
    // Valid throughout; a leading byte order mark is text like any other and stays.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(view);
}

std::optional<QString> decodeZeroTerminatedUtf8(std::span<const std::uint8_t> bytes) {
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return decodeUtf8Strict(bytes.first(static_cast<std::size_t>(zero - bytes.begin())));
}

}  // namespace platform
