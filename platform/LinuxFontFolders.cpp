#include "platform/LinuxFontFolders.h"

#include "platform/Files.h"
#include "platform/NativePath.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace platform {

QStringList FontconfigFolders::fontFolders() const {
    // The configuration alone, with no font scanned: its font folders are then the ones it
    // names, without the folders below them.
    const std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)> config(FcInitLoadConfig(), &FcConfigDestroy);
    if (!config) return {};
    const std::unique_ptr<FcStrList, decltype(&FcStrListDone)> dirs(FcConfigGetFontDirs(config.get()), &FcStrListDone);
    QStringList out;
    if (!dirs) return out;
    while (const FcChar8* dir = FcStrListNext(dirs.get())) {
        const QString path = decodeNativePath(QByteArrayView(reinterpret_cast<const char*>(dir)));
        if (path.startsWith(QLatin1Char('/')) && !out.contains(path)) out << path;
    }
    return out;
}

QStringList StandardFontFolders::fontFolders() const {
    QStringList out = {QStringLiteral("/usr/share/fonts"), QStringLiteral("/usr/local/share/fonts")};
    QStringList homes = {QStringLiteral("/root")};
    for (const char* parent : {"/home", "/Users"}) {
        const QString folder = QString::fromLatin1(parent);
        QStringList names;
        for (const DirEntry& entry : m_files.listEntries(folder))
            if (entry.kind == EntryKind::Folder) names << entry.name;
        names.sort();  // a listing's order is the file system's, not a stable one
        for (const QString& name : names) homes << folder + QLatin1Char('/') + name;
    }
    for (const QString& home : homes)
        out << home + QStringLiteral("/.local/share/fonts") << home + QStringLiteral("/.fonts");
    return out;
}

}  // namespace platform
