#include "app/ResultMessages.h"

#include "app/Messages.h"

namespace wizard {

namespace {
QString fileNameOf(const QString& path) { return path.section(QLatin1Char('/'), -1); }

QString withInserted(const char* format, const QString& text) {
    return QString::fromUtf8(format).replace(QLatin1String("%@"), text);
}
}  // namespace

QString resultMessage(std::int32_t code, const QString& fullpath) {
    // Compared unsigned, so that a negative code falls with the unknown ones.
    switch (static_cast<std::uint32_t>(code)) {
    case 2:
        return withInserted(kSourceReadFailed, fullpath);
    case 3:
    case 8:
    case 9:
    case 11:
    case 12:
        return withInserted(kNewFileFailed, fileNameOf(fullpath));
    case 7:
        return fileNameOf(fullpath) + QString::fromUtf8(kPatchReadFailed);
    case 10:
        return withInserted(kNotReplaceable, fullpath);
    default:
        return QString::fromUtf8(kRevisionStopped);
    }
}

}  // namespace wizard
