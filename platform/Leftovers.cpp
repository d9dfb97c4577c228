#include "platform/Leftovers.h"

#include <QStringList>

#include <algorithm>

namespace platform {
namespace {
const QString kMarker = QStringLiteral(".font-reviser-");
const QString kNewSuffix = QStringLiteral(".new");
const QString kOldSuffix = QStringLiteral(".old");
const QString kTemporaryPrefix = QStringLiteral("font-reviser-");

bool allDigits(QStringView s) {
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<Leftover> parseTemporaryName(const QString& name) {
    if (!name.startsWith(kTemporaryPrefix)) return std::nullopt;
    const QStringView rest = QStringView(name).mid(kTemporaryPrefix.size());
    const qsizetype dash = rest.indexOf(u'-');
    if (dash <= 0 || !allDigits(rest.left(dash)) || !allDigits(rest.mid(dash + 1))) return std::nullopt;
    Leftover out;
    out.kind = LeftoverKind::Temporary;
    bool ok = false;
    out.pid = rest.left(dash).toLongLong(&ok);
    if (!ok || out.pid <= 0) return std::nullopt;
    return out;
}
}  // namespace

QString temporaryName(std::int64_t pid, std::int64_t seconds, int random) {
    return kTemporaryPrefix + QString::number(pid) + QLatin1Char('-') + QString::number(seconds) +
           QString::number(random);
}

QString leftoverName(const QString& installedName, LeftoverKind kind, std::int64_t pid, std::uint32_t nonce) {
    return QLatin1Char('.') + installedName + kMarker + QString::number(pid) + QLatin1Char('-') +
           QStringLiteral("%1").arg(nonce, 8, 16, QLatin1Char('0')) +
           (kind == LeftoverKind::NewCopy ? kNewSuffix : kOldSuffix);
}

bool mayBeLeftoverName(const QString& name) {
    if (name.startsWith(kTemporaryPrefix)) return true;
    return name.startsWith(QLatin1Char('.')) && name.contains(kMarker) &&
           (name.endsWith(kNewSuffix) || name.endsWith(kOldSuffix));
}

std::optional<Leftover> parseLeftoverName(const QString& name) {
    if (name.startsWith(kTemporaryPrefix)) return parseTemporaryName(name);
    if (!mayBeLeftoverName(name)) return std::nullopt;
    Leftover out;
    out.kind = name.endsWith(kNewSuffix) ? LeftoverKind::NewCopy : LeftoverKind::OldFont;
    const QString body = name.mid(1, name.size() - 1 - kNewSuffix.size());  // without "." and the suffix
    const qsizetype marker = body.lastIndexOf(kMarker);
    if (marker <= 0) return std::nullopt;
    out.installedName = body.left(marker);
    const QStringList parts = body.mid(marker + kMarker.size()).split(QLatin1Char('-'));
    if (parts.size() != 2 || parts[1].size() != 8) return std::nullopt;
    bool pidOk = false, nonceOk = false;
    out.pid = parts[0].toLongLong(&pidOk);
    parts[1].toUInt(&nonceOk, 16);
    if (!pidOk || !nonceOk || out.pid <= 0 || parts[0] != QString::number(out.pid)) return std::nullopt;
    if (out.installedName.contains(QLatin1Char('/'))) return std::nullopt;
    return out;
}

}  // namespace platform
