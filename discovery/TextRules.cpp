#include "discovery/TextRules.h"

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

}  // namespace fr::text
