// The walk over the local fixed volumes: which folders are entered, which files are examined,
// how the search callback is paced and how a stop unwinds.

#include "DiscoveryTestData.h"
#include "discovery/FontCheckCtrl.h"
#include "support/FaultyFiles.h"

#include "fonttables/CommonTool.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <limits>
#include <memory>

namespace {

using namespace discoverytest;
using fr::FontCheckCtrl;
using testsupport::FakeVolumes;
using testsupport::TestPlatform;

// Records every call of the search callback and answers true from call `stopAt` on.
struct Callback {
    QStringList paths;
    int stopAt = -1;
    static bool proc(const QString& path, void* context) {
        auto* self = static_cast<Callback*>(context);
        self->paths << path;
        return self->stopAt >= 0 && self->paths.size() > self->stopAt;
    }
};

// Font discovery with the host folder's sources listed, as a search starts with it.
std::unique_ptr<FontCheckCtrl> withSources(const platform::Platform& services) {
    auto ctrl = std::make_unique<FontCheckCtrl>(services);
    ctrl->checkUpdateFontFile();
    return ctrl;
}

class VolumeScan : public ::testing::Test {
protected:
    void SetUp() override {
        writeStdNW9Patch(tp);
        tp.volumes.volumes = {{QStringLiteral("/")}, {QStringLiteral("/Volumes/Data")}};
    }

    // The discovery of the current search; fresh() starts the next one.
    FontCheckCtrl& discovery() {
        if (!m_discovery) m_discovery = withSources(tp.services());
        return *m_discovery;
    }
    void fresh() { m_discovery.reset(); }

    // Runs a whole search and gives the paths of the targets found, in order.
    QStringList search(Callback* callback = nullptr) {
        Callback none;
        if (!callback) callback = &none;
        EXPECT_FALSE(discovery().searchOpenTypeFont(&Callback::proc, callback));
        QStringList paths;
        for (const auto& t : discovery().getUpdateFontArray()) paths << t->fullpath;
        return paths;
    }
    static QString font(const QString& folder) { return folder + QLatin1Char('/') + kStdNW9 + QStringLiteral(".otf"); }

    TestPlatform tp;
    std::unique_ptr<FontCheckCtrl> m_discovery;
};

TEST_F(VolumeScan, WalksFixedVolumesOnlyEachOnItsOwn) {
    writeStdNW9Font(tp, QStringLiteral("/Library/Fonts"));
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Data/Library/Fonts"));
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Stick/Fonts"));
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Disc/Fonts"));
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Odd/Fonts"));
    tp.volumes.volumes.push_back({QStringLiteral("/Volumes/Stick"), true, false});
    tp.volumes.volumes.push_back({QStringLiteral("/Volumes/Disc"), false, true});
    tp.volumes.volumes.push_back({QStringLiteral("/Volumes/Odd"), false, false, true});

    const QStringList found = search();
    // The root walk skips everything under /Volumes; /Volumes/Data is walked as a volume.
    EXPECT_EQ(found, (QStringList{font(QStringLiteral("/Library/Fonts")),
                                  font(QStringLiteral("/Volumes/Data/Library/Fonts"))}));
    EXPECT_EQ(discovery().getVolumeArray(), (QStringList{QStringLiteral("/"), QStringLiteral("/Volumes/Data")}));
    EXPECT_EQ(discovery().getUpdateFontArray().front()->version, 0x80000u);
}

TEST_F(VolumeScan, DepthLimitsFiveAndSevenInHomeFolders) {
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Data/Fonts/Sub"));
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Data/Fonts/Sub/Deeper"));
    writeStdNW9Font(tp, QStringLiteral("/Users/a/Library/Fonts/A/B"));
    writeStdNW9Font(tp, QStringLiteral("/Users/a/Library/Fonts/A/B/C"));
    writeStdNW9Font(tp, QStringLiteral("/Library/Fonts/A/B"));
    writeStdNW9Font(tp, QStringLiteral("/Library/Fonts/A/B/C"));

    const QStringList found = search();
    EXPECT_EQ(found.size(), 3) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(found.contains(font(QStringLiteral("/Volumes/Data/Fonts/Sub"))));
    EXPECT_TRUE(found.contains(font(QStringLiteral("/Users/a/Library/Fonts/A/B"))));
    EXPECT_TRUE(found.contains(font(QStringLiteral("/Library/Fonts/A/B"))));
}

TEST_F(VolumeScan, BundlesFrameworksAndBackupsAreSkipped) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString v = QStringLiteral("/Volumes/Data");
    writeStdNW9Font(tp, v + QStringLiteral("/Library/com.apple.fonts"));
    writeStdNW9Font(tp, v + QStringLiteral("/Tools.app"));
    writeStdNW9Font(tp, v + QStringLiteral("/Bundle/Contents"));
    writeStdNW9Font(tp, v + QStringLiteral("/Backups.backupdb/x"));
    writeStdNW9Font(tp, v + QStringLiteral("/Frameworks/X.framework"));
    writeStdNW9Font(tp, v + QStringLiteral("/Frameworks"));
    writeStdNW9Font(tp, v + QStringLiteral("/contents"));

    QStringList found = search();
    found.sort();
    EXPECT_EQ(found, (QStringList{font(v + QStringLiteral("/Frameworks")), font(v + QStringLiteral("/contents"))}))
        << "case-sensitive words";
}

TEST_F(VolumeScan, FolderPathsUpToThreeHundredUnitsAreEntered) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString v = QStringLiteral("/Volumes/Data/");
    const QString exact = v + QString(140, QLatin1Char('a')) + QLatin1Char('/') + QString(145, QLatin1Char('b'));
    const QString over = v + QString(140, QLatin1Char('c')) + QLatin1Char('/') + QString(146, QLatin1Char('d'));
    ASSERT_EQ(exact.size(), 300);
    ASSERT_EQ(over.size(), 301);
    writeStdNW9Font(tp, exact);
    writeStdNW9Font(tp, over);
    EXPECT_EQ(search(), QStringList{font(exact)});
}

TEST_F(VolumeScan, LinksToFoldersAreNeverFollowedLinksToFilesAre) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString v = QStringLiteral("/Volumes/Data");
    writeStdNW9Font(tp, QStringLiteral("/Elsewhere"));
    writeStdNW9Font(tp, v + QStringLiteral("/Fonts"));
    tp.makeLink(v + QStringLiteral("/Linked"), QStringLiteral("../../Elsewhere"));
    // The same installed font under a second name: listed twice, with the link's path.
    tp.makeLink(font(v + QStringLiteral("/Links")), QStringLiteral("../Fonts/") + kStdNW9 + QStringLiteral(".otf"));
    tp.makeLink(font(v + QStringLiteral("/Dangling")), QStringLiteral("../Gone.otf"));

    const QStringList found = search();
    EXPECT_EQ(found.size(), 2) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(found.contains(font(v + QStringLiteral("/Fonts"))));
    EXPECT_TRUE(found.contains(font(v + QStringLiteral("/Links"))));
}

TEST_F(VolumeScan, CandidatesNeedDotOtfTheFamilyWordAndAPairedSource) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString f = QStringLiteral("/Volumes/Data/Fonts/");
    const auto bytes = fontBytes(0x00080000, kStdNW9FullName);
    tp.writeFile(f + kStdNW9 + QStringLiteral(".otf.bak"), bytes);
    tp.writeFile(f + kStdNW9 + QStringLiteral(".OTF"), bytes);
    tp.writeFile(f + QStringLiteral(u"Velmora丸ゴ StdN W6.otf"), bytes);   // no source
    tp.writeFile(f + QStringLiteral("Velmora.otf/Velmora.otf"), bytes);    // a folder, then no source
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Data/Old"), 0x00070000);  // wrong revision
    EXPECT_TRUE(search().isEmpty());
}

TEST_F(VolumeScan, NamesAreComparedNormalizedButListedAsStored) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString folder = QStringLiteral(u"/Volumes/Data/データ");
    const QString nfd = folder.normalized(QString::NormalizationForm_D) + QLatin1Char('/') +
                        (kStdNW9 + QStringLiteral(".otf")).normalized(QString::NormalizationForm_D);
    ASSERT_NE(nfd, font(folder));
    tp.writeFile(nfd, fontBytes(0x00080000, kStdNW9FullName));
    // A Kelvin sign is canonically the letter K: this name carries the family word.
    const QString kelvin = QStringLiteral(u"/Volumes/Data/\u212Aestruneゴシック StdN W3.otf");
    tp.writeFile(kelvin, fontBytes(0x00080000, "Kestrune W3"));
    writePatch(tp, QStringLiteral(u"Kestruneゴシック StdN W3.pa"), "Kestrune W3");

    // Each target's path is the one its file has, so every later step opens that file.
    const QStringList found = search();
    EXPECT_EQ(found.size(), 2);
    EXPECT_TRUE(found.contains(nfd));
    EXPECT_TRUE(found.contains(kelvin));
    for (const QString& path : found) EXPECT_TRUE(tp.files().readAll(path, testsupport::kAnySize)) << path.toStdString();
}

TEST_F(VolumeScan, StopOnTheFirstCallKeepsWhatWasFoundBefore) {
    const QString v = QStringLiteral("/Volumes/Data");
    writeStdNW9Font(tp, v);
    writeStdNW9Font(tp, v + QStringLiteral("/Fonts"));
    tp.volumes.volumes = {{v}, {QStringLiteral("/Volumes/Other")}};
    writeStdNW9Font(tp, QStringLiteral("/Volumes/Other"));

    // Whether the top-level font comes before the folder depends on the listing order.
    bool fontFirst = false;
    for (const auto& e : tp.files().listEntries(v)) {
        if (e.name == QStringLiteral("Fonts")) break;
        fontFirst = true;
    }
    Callback cb;
    cb.stopAt = 0;
    const QStringList found = search(&cb);
    EXPECT_EQ(cb.paths, QStringList{v + QStringLiteral("/Fonts")});
    EXPECT_EQ(found, fontFirst ? QStringList{font(v)} : QStringList{});
}

TEST_F(VolumeScan, CallbackComesDownTheFirstBranchThenEveryThreeHundredWalks) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString top = QStringLiteral("/Volumes/Data/Top");
    const QString mid = top + QStringLiteral("/Mid");
    // 648 leaves one level below the depth limit: each walk ends at once, and still counts.
    for (int i = 0; i < 648; ++i) tp.makeFolder(mid + QStringLiteral("/L%1").arg(i));
    std::vector<platform::DirEntry> leaves = tp.files().listEntries(mid);
    ASSERT_EQ(leaves.size(), 648u);

    Callback cb;
    search(&cb);
    EXPECT_EQ(cb.paths,
              (QStringList{top, mid, mid + QLatin1Char('/') + leaves[0].name, mid + QLatin1Char('/') + leaves[300].name,
                           mid + QLatin1Char('/') + leaves[600].name}));

    // A second volume starts counting afresh; stopping on a later call unwinds at once.
    fresh();
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}, {QStringLiteral("/Volumes/Data/Top")}};
    Callback again;
    search(&again);
    EXPECT_EQ(again.paths.mid(5),
              (QStringList{mid, mid + QLatin1Char('/') + leaves[0].name, mid + QLatin1Char('/') + leaves[300].name,
                           mid + QLatin1Char('/') + leaves[600].name}));

    fresh();
    Callback stop;
    stop.stopAt = 3;
    search(&stop);
    EXPECT_EQ(stop.paths.size(), 4) << "no folder after the stop, and no further volume";
}

TEST(LinuxLayout, HomeFoldersAreDeeperAndOtherMountsAreWalkedOnce) {
    TestPlatform tp;
    writeStdNW9Patch(tp);
    tp.volumes.homeWord = QStringLiteral("home");
    tp.volumes.volumes = {{QStringLiteral("/")}, {QStringLiteral("/home")}};
    tp.volumes.otherMountPoints = {QStringLiteral("/home")};
    writeStdNW9Font(tp, QStringLiteral("/home/u/.local/share/fonts"));  // 6 parts: a home folder
    writeStdNW9Font(tp, QStringLiteral("/usr/share/fonts/opentype"));
    writeStdNW9Font(tp, QStringLiteral("/usr/share/fonts/opentype/deep"));  // 6 parts elsewhere
    writeStdNW9Font(tp, QStringLiteral("/Users/a/b/c/d"));                  // not a home word here

    auto ctrl = withSources(tp.services());
    ctrl->searchOpenTypeFont(nullptr, nullptr);
    QStringList found;
    for (const auto& t : ctrl->getUpdateFontArray()) found << t->fullpath;
    const QString name = QLatin1Char('/') + kStdNW9 + QStringLiteral(".otf");
    EXPECT_EQ(found, (QStringList{QStringLiteral("/usr/share/fonts/opentype") + name,
                                  QStringLiteral("/home/u/.local/share/fonts") + name}));
}

TEST(LinuxLayout, FontFoldersAreWalkedToAnyDepthOnAdmittedVolumesListingEachFileOnce) {
    TestPlatform tp;
    writeStdNW9Patch(tp);
    writePatch(tp, QStringLiteral(u"Kestruneゴシック StdN W3.pa"), "Kestrune W3");
    tp.volumes.homeWord = QStringLiteral("home");
    tp.volumes.volumes = {{QStringLiteral("/")}, {QStringLiteral("/home")}, {QStringLiteral("/media/stick"), true}};
    tp.volumes.otherMountPoints = {QStringLiteral("/home"), QStringLiteral("/media/stick")};
    const QString kestrune = QStringLiteral(u"/Kestruneゴシック StdN W3.otf");
    const QString name = QLatin1Char('/') + kStdNW9 + QStringLiteral(".otf");
    const QString debian = QStringLiteral("/usr/share/fonts/opentype/velmora");   // 6 parts
    const QString local = QStringLiteral("/usr/local/share/fonts/kestrune/a/b");  // 8 parts
    writeStdNW9Font(tp, debian);
    tp.writeFile(local + kestrune, fontBytes(0x00080000, "Kestrune W3"));
    writeStdNW9Font(tp, QStringLiteral("/usr/share/fonts/opentype"));   // the volume walk finds it too
    writeStdNW9Font(tp, QStringLiteral("/home/u/.local/share/fonts"));  // and this one
    writeStdNW9Font(tp, QStringLiteral("/media/stick/fonts/deep"));     // on a removable volume
    tp.makeLink(QStringLiteral("/usr/local/share/fonts/links") + name,
                QStringLiteral("../../../../share/fonts/opentype/velmora") + name);
    tp.makeLink(QStringLiteral("/srv/fonts"), QStringLiteral("../usr/share/fonts"));
    // What a revision that was killed left beside a font: its process has ended.
    const QString leftover = debian + QStringLiteral("/.") + kStdNW9 +
                             QStringLiteral(".otf.font-reviser-%1-0000abcd.new").arg(std::numeric_limits<int>::max());
    tp.writeFile(leftover, {1, 2, 3});
    tp.fontFolders.folders = {QStringLiteral("/usr/share/fonts"),
                              QStringLiteral("/usr/share/fonts/opentype"),
                              QStringLiteral("/srv/fonts"),
                              QStringLiteral("/usr/local/share/fonts"),
                              QStringLiteral("/home/u/.local/share/fonts"),
                              QStringLiteral("/home/u/.fonts"),
                              QStringLiteral("/media/stick/fonts")};

    Callback callback;
    auto ctrl = withSources(tp.services());
    ctrl->searchOpenTypeFont(&Callback::proc, &callback);
    QStringList found;
    for (const auto& t : ctrl->getUpdateFontArray()) found << t->fullpath;
    EXPECT_EQ(found,
              (QStringList{QStringLiteral("/usr/share/fonts/opentype") + name,
                           QStringLiteral("/home/u/.local/share/fonts") + name, debian + name, local + kestrune}));
    EXPECT_TRUE(callback.paths.contains(QStringLiteral("/usr/share/fonts")));
    EXPECT_TRUE(callback.paths.contains(QStringLiteral("/usr/local/share/fonts")));
    EXPECT_FALSE(callback.paths.contains(QStringLiteral("/media/stick/fonts")));
    EXPECT_FALSE(tp.files().exists(leftover));

    // A stop asked for at a font folder ends the search there.
    struct StopAtFontFolders {
        static bool proc(const QString& path, void*) { return path == QStringLiteral("/usr/share/fonts"); }
    };
    ctrl = withSources(tp.services());
    ctrl->searchOpenTypeFont(&StopAtFontFolders::proc, nullptr);
    EXPECT_EQ(ctrl->getUpdateFontArray().size(), 2u);
}

TEST(FileTests, LinksAreFollowed) {
    TestPlatform tp;
    tp.writeFile(QStringLiteral("/a/file"), {1});
    tp.makeLink(QStringLiteral("/a/toFile"), QStringLiteral("file"));
    tp.makeLink(QStringLiteral("/toFolder"), QStringLiteral("a"));
    tp.makeLink(QStringLiteral("/a/dangling"), QStringLiteral("gone"));
    using fr::CommonTool;
    EXPECT_TRUE(CommonTool::fileExist(tp.files(), QStringLiteral("/a/toFile")));
    EXPECT_FALSE(CommonTool::fileDirectory(tp.files(), QStringLiteral("/a/toFile")));
    EXPECT_TRUE(CommonTool::fileDirectory(tp.files(), QStringLiteral("/toFolder")));
    EXPECT_FALSE(CommonTool::fileExist(tp.files(), QStringLiteral("/a/dangling")));
    EXPECT_FALSE(CommonTool::fileDirectory(tp.files(), QStringLiteral("/nowhere")));
}

}  // namespace

namespace {

// Counts the questions the walk asks of the disk beyond its listings.
class CountingFiles : public testsupport::FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    mutable int stats = 0, reads = 0;

    std::unique_ptr<platform::ReadableBytes> openForReading(const QString& p) const override {
        return ++reads, FaultyFiles::openForReading(p);
    }
    bool exists(const QString& p) const override { return ++stats, FaultyFiles::exists(p); }
    bool isFolder(const QString& p) const override { return ++stats, FaultyFiles::isFolder(p); }
    bool isSymbolicLink(const QString& p) const override { return ++stats, FaultyFiles::isSymbolicLink(p); }
};

TEST_F(VolumeScan, ListedFilesAndFoldersAreNotAskedAboutAgain) {
    tp.volumes.volumes = {{QStringLiteral("/Volumes/Data")}};
    const QString v = QStringLiteral("/Volumes/Data");
    for (int i = 0; i < 20; ++i) {
        tp.writeFile(v + QStringLiteral("/F%1/readme.txt").arg(i), {1});
        tp.writeFile(v + QStringLiteral("/F%1/Velmora notes.txt").arg(i), {1});
    }
    tp.makeLink(v + QStringLiteral("/F0/shortcut"), QStringLiteral("../F1"));
    tp.writeFile(v + QStringLiteral(u"/F3/Velmora丸ゴ StdN W6.otf"), {1});  // no source: never opened
    writeStdNW9Font(tp, v + QStringLiteral("/F5"));

    CountingFiles counting(tp.files());
    platform::Platform services = tp.services();
    services.files = &counting;
    const auto ctrl = withSources(services);
    counting.stats = counting.reads = 0;  // the listing of the sources is not the walk's
    ctrl->searchOpenTypeFont(nullptr, nullptr);

    EXPECT_EQ(ctrl->getUpdateFontArray().size(), 1u);
    EXPECT_EQ(counting.stats, 0);
    EXPECT_EQ(counting.reads, 1);
}

}  // namespace
