#include "platform/LinuxFontFolders.h"

#include "platform/Files.h"
#include "platform/NativePath.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>
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

bool FontconfigFolders::refreshCaches(const QStringList& folders) {
    // The configuration alone names the cache folders and the fonts it rejects; scanning all
    // its fonts first would only cost time.
    const std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)> config(FcInitLoadConfig(), &FcConfigDestroy);
    if (!config) return false;
    bool all = true;
    for (const QString& folder : folders) {
        const QByteArray path = encodeNativePath(folder);
        const auto* dir = reinterpret_cast<const FcChar8*>(path.constData());
        // A forced read scans the folder and writes its cache, whether one was there or not.
        if (FcCache* scanned = FcDirCacheRead(dir, FcTrue, config.get())) FcDirCacheUnload(scanned);
        // The write's own outcome is not reported; a cache that now loads is valid for the
        // folder as it stands.
        FcCache* written = FcDirCacheLoad(dir, config.get(), nullptr);
        if (!written) {
            all = false;
            continue;
        }
        FcDirCacheUnload(written);
    }
    return all;
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

bool StandardFontFolders::refreshCaches(const QStringList& /*folders*/) { return true; }

}  // namespace platform
