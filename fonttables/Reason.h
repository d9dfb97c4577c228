#pragma once
// Why a font, a patch or a file was refused or left out: a stable identifier that scripts can
// rely on ("patch-truncated", "layout-overlap") and one line in English for people, naming the
// table or the offset where that helps. The layer that knows the file puts its path in front.

#include "fonttables/Tag.h"

#include <QString>

#include <utility>

namespace fr {

struct Reason {
    QString id;
    QString detail;
    explicit operator bool() const { return !id.isEmpty(); }
};

// Gives false, and the reason where one is asked for: a refusal in one line.
inline bool refuse(Reason* why, const char* id, QString detail) {
    if (why) *why = {QString::fromLatin1(id), std::move(detail)};
    return false;
}

// A table tag as it reads in a reason: 'CFF ' (a byte that is no printable ASCII as '?').
inline QString quoted(const Tag& tag) {
    QString text(QLatin1Char('\''));
    for (const std::uint8_t b : tag.bytes()) text += b >= 0x20 && b < 0x7F ? QChar(b) : QChar(u'?');
    return text + QLatin1Char('\'');
}

}  // namespace fr
