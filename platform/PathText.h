#pragma once
// Path components as text: the operations on paths that need no file system.

#include <QString>

namespace platform {

// The last component of a path ("/a/b.otf" gives "b.otf"; a trailing "/" is ignored; "/"
// gives "/").
inline QString lastPathComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/')) --end;
    if (end == 1 && path.at(0) == QLatin1Char('/')) return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

// The name without its last dot and what follows; a name without a dot is unchanged.
inline QString removeLastExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

}  // namespace platform
