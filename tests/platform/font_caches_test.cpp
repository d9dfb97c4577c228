#include "platform/LinuxFontFolders.h"
#include "platform/LinuxPlatform.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <ctime>

#include <optional>

namespace {

using namespace testsupport;

// FONTCONFIG_FILE names a configuration with one font folder and one cache folder, both in a
// scratch folder, for as long as this lives.
class ScratchFontconfig {
public:
    ScratchFontconfig() : m_previous(qgetenv("FONTCONFIG_FILE")), m_had(qEnvironmentVariableIsSet("FONTCONFIG_FILE")) {
        QDir().mkpath(fonts());
        QFile conf(m_dir.path() + "/fonts.conf");
        if (conf.open(QIODevice::WriteOnly))
            conf.write("<?xml version=\"1.0\"?>\n<fontconfig><dir>" + QFile::encodeName(fonts()) + "</dir><cachedir>" +
                       QFile::encodeName(m_dir.path()) + "/cache</cachedir></fontconfig>\n");
        qputenv("FONTCONFIG_FILE", QFile::encodeName(conf.fileName()));
    }
    ~ScratchFontconfig() { m_had ? qputenv("FONTCONFIG_FILE", m_previous) : qunsetenv("FONTCONFIG_FILE"); }
    QString root() const { return m_dir.path(); }
    QString fonts() const { return m_dir.path() + "/fonts"; }

    // A font FreeType opens, written into the font folder.
    bool addFont(const QString& name) const {
        std::vector<Table> tables = outlineTables();
        tables.push_back({"head", headTable(0x00010000)});
        tables.push_back({"name", nameTable({{3, 1, 0x409, 1, utf16be("Mini")}})});
        const Bytes font = buildSfnt(tables);
        QFile file(fonts() + "/" + name);
        return file.open(QIODevice::WriteOnly) &&
               file.write(reinterpret_cast<const char*>(font.data()), qint64(font.size())) == qint64(font.size());
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_had;
};

// The font files, sorted, that a valid cache on disk lists for the folder; nothing when no
// cache is there or it is older than the folder.
std::optional<QStringList> cachedFiles(const QString& folder) {
    FcConfig* config = FcInitLoadConfig();
    const QByteArray dir = QFile::encodeName(folder);
    FcCache* cache = FcDirCacheLoad(reinterpret_cast<const FcChar8*>(dir.constData()), config, nullptr);
    std::optional<QStringList> files;
    if (FcFontSet* set = cache ? FcCacheCopySet(cache) : nullptr) {
        files.emplace();
        FcChar8* file = nullptr;
        for (int i = 0; i < set->nfont; ++i)
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
                *files << QFile::decodeName(reinterpret_cast<const char*>(file));
        files->sort();
        FcFontSetDestroy(set);
    }
    if (cache) FcDirCacheUnload(cache);
    FcConfigDestroy(config);
    return files;
}

TEST(FontCaches, ARefreshWritesTheCacheOfTheFolderAsItNowStands) {
    ScratchFontconfig conf;
    ASSERT_TRUE(conf.addFont("Old.otf"));
    // The folder's time set back, so that the font added below changes it on any clock.
    const timespec past[2] = {{::time(nullptr) - 10, 0}, {::time(nullptr) - 10, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(conf.fonts()).constData(), past, 0), 0);
    // A view rooted at the scratch folder, where "/fonts" is the configuration's font folder:
    // the caches of the machine it runs on are not its own.
    platform::LinuxPlatformOptions rootedAtScratch;
    rootedAtScratch.root = conf.root();
    EXPECT_TRUE(platform::LinuxPlatform(rootedAtScratch).services().fontFolders->refreshCaches({"/fonts"}));
    EXPECT_EQ(cachedFiles(conf.fonts()), std::nullopt);

    platform::FontconfigFolders fontconfig;
    EXPECT_TRUE(fontconfig.refreshCaches({conf.fonts()}));
    EXPECT_EQ(cachedFiles(conf.fonts()), QStringList{conf.fonts() + "/Old.otf"});
    ASSERT_TRUE(conf.addFont("New.otf"));
    EXPECT_EQ(cachedFiles(conf.fonts()), std::nullopt) << "the folder changed after its cache was written";
    EXPECT_TRUE(fontconfig.refreshCaches({conf.fonts()}));
    EXPECT_EQ(cachedFiles(conf.fonts()), (QStringList{conf.fonts() + "/New.otf", conf.fonts() + "/Old.otf"}));

    EXPECT_FALSE(fontconfig.refreshCaches({conf.fonts(), conf.root() + "/missing"}));
}

}  // namespace
