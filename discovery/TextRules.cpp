#include "discovery/TextRules.h"

#include <QStringDecoder>

#include <algorithm>

namespace fr::text {

bool isAscii(const QString& s) {
    return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

namespace {
// Below U+0300 there is no combining mark, no canonical singleton and no character that a
// following one can compose with, so such text is already in Form C.
bool trivialForFormC(const QString& s) {
    return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x300; });
}
}  // namespace

QString formKC(const QString& s) {
    if (isAscii(s)) return s;
    return s.normalized(QString::NormalizationForm_KC);
}

QString formC(const QString& s) {
    if (trivialForFormC(s)) return s;
    return s.normalized(QString::NormalizationForm_C);
}

bool containsCanonical(const QString& text, const QString& word) { return formC(text).contains(word); }

bool hasFamilyWord(const QString& nameC) {
    static const QString kVelmora = QStringLiteral("Velmora");
    static const QString kKestrune = QStringLiteral("Kestrune");
    return nameC.contains(kVelmora) || nameC.contains(kKestrune);
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

qsizetype pathPartCount(const QString& path) { return path.count(QLatin1Char('/')) + 1; }

QString removeLastExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

std::optional<QString> decodeUtf8Strict(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        std::uint32_t cp = 0, min = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        } else {
            return std::nullopt;  // a stray continuation byte or 0xF8..0xFF
        }
        if (extra > n - i - 1) return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            const std::uint8_t c = bytes[i + k];
            if ((c & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        i += extra + 1;
    }
    // Valid throughout; a leading byte order mark is text like any other and stays.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(n)));
}

std::optional<QString> decodeZeroTerminatedUtf8(std::span<const std::uint8_t> bytes) {
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return decodeUtf8Strict(bytes.first(static_cast<std::size_t>(zero - bytes.begin())));
}

}  // namespace fr::text
