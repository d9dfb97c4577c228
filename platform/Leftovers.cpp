#include "platform/Leftovers.h"

#include <QStringList>

namespace platform {
namespace {
const QString kMarker = QStringLiteral(".font-reviser-");
const QString kNewSuffix = QStringLiteral(".new");
const QString kOldSuffix = QStringLiteral(".old");
}  // namespace

QString leftoverName(const QString& installedName, LeftoverKind kind, std::int64_t pid, std::uint32_t nonce) {
    return QLatin1Char('.') + installedName + kMarker + QString::number(pid) + QLatin1Char('-') +
           QStringLiteral("%1").arg(nonce, 8, 16, QLatin1Char('0')) +
           (kind == LeftoverKind::NewCopy ? kNewSuffix : kOldSuffix);
}

bool mayBeLeftoverName(const QString& name) {
    return name.startsWith(QLatin1Char('.')) && name.contains(kMarker) &&
           (name.endsWith(kNewSuffix) || name.endsWith(kOldSuffix));
}

std::optional<Leftover> parseLeftoverName(const QString& name) {
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
