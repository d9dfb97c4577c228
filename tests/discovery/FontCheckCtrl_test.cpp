// The patch source list, the pairing of installed files with sources and the choice of the
// patch for a target.

#include "discovery/FontCheckCtrl.h"
#include "DiscoveryTestData.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

namespace fr {

struct FontCheckCtrlTestPeer {
    static void addSource(FontCheckCtrl& ctrl, const QString& fullpath, const QString& fontfile) {
        auto s = std::make_shared<SourceEntry>();
        s->fullpath = fullpath;
        s->fontfile = fontfile;
        ctrl.m_UpdateSrcFontArray.push_back(std::move(s));
    }
    static const std::vector<SourceEntryPtr>& sources(const FontCheckCtrl& ctrl) { return ctrl.m_UpdateSrcFontArray; }
};

namespace {

using namespace discoverytest;
using testsupport::TestPlatform;

class SourceList : public ::testing::Test {
protected:
    // Font discovery with the sources of the host folder listed, as the wizard makes it.
    std::unique_ptr<FontCheckCtrl> listSources() {
        auto ctrl = std::make_unique<FontCheckCtrl>(tp.services());
        ctrl->checkUpdateFontFile();
        return ctrl;
    }

    const SourceEntry* sourceAt(const FontCheckCtrl& ctrl, const QString& name) const {
        for (const auto& s : FontCheckCtrlTestPeer::sources(ctrl))
            if (s->fullpath == kHost + QLatin1Char('/') + name) return s.get();
        return nullptr;
    }
    // The host folder's names in listing order.
    QStringList listed() {
        QStringList names;
        for (const auto& entry : tp.files().listEntries(kHost)) names << entry.name;
        return names;
    }

    TestPlatform tp;
};

TEST_F(SourceList, PatchFilesWithAFamilyWordBecomeSources) {
    writePatch(tp, QStringLiteral(u"Velmora角ゴ StdN W9.pa"), "Velmora W9", 0x00080000);
    writePatch(tp, QStringLiteral(u"Kestruneゴシック StdN W3"), "Kestrune W3", 0x00090000);
    // Form KC: full-width letters and digits become ASCII; the listed name stays as it is.
    const QString wide = QStringLiteral(u"Velmora丸ゴ StdN Ｗ6.pa").normalized(QString::NormalizationForm_D);
    writePatch(tp, wide, "Velmora W6");
    writePatch(tp, QStringLiteral(u"Velmora行書 StdN W8.pa"), "Bad\xFF\xFEName");
    // Not sources: no family word, not a patch, a folder.
    writePatch(tp, QStringLiteral("Plain W9.pa"), "Plain W9");
    tp.writeFile(kHost + QStringLiteral("/Velmora notes.pa"), testsupport::bytesOf("not a patch at all, long enough"));
    tp.makeFolder(kHost + QStringLiteral("/Velmora folder.pa"));

    const auto ctrl = listSources();
    ASSERT_EQ(ctrl->getUpdateSrcFileCount(), 4);

    const SourceEntry* w9 = sourceAt(*ctrl, QStringLiteral(u"Velmora角ゴ StdN W9.pa"));
    ASSERT_TRUE(w9);
    EXPECT_EQ(w9->fontfile, QStringLiteral(u"Velmora角ゴ StdN W9.otf"));
    EXPECT_EQ(w9->fontname, QStringLiteral("Velmora W9"));
    EXPECT_EQ(w9->version, 0x00080000u);

    const SourceEntry* w3 = sourceAt(*ctrl, QStringLiteral(u"Kestruneゴシック StdN W3"));
    ASSERT_TRUE(w3);
    EXPECT_EQ(w3->fontfile, QStringLiteral(u"Kestruneゴシック StdN W3.otf"));
    EXPECT_EQ(w3->version, 0x00090000u);

    const SourceEntry* w6 = sourceAt(*ctrl, wide);
    ASSERT_TRUE(w6);
    EXPECT_EQ(w6->fontfile, QStringLiteral(u"Velmora丸ゴ StdN W6.otf"));

    const SourceEntry* w8 = sourceAt(*ctrl, QStringLiteral(u"Velmora行書 StdN W8.pa"));
    ASSERT_TRUE(w8);
    EXPECT_FALSE(w8->fontname.has_value()) << "a header name that isn't UTF-8 is left out";

    // Sources keep the folder's listing order.
    QStringList order;
    for (const auto& s : FontCheckCtrlTestPeer::sources(*ctrl)) order << s->fullpath.mid(kHost.size() + 1);
    QStringList expected;
    for (const QString& n : listed())
        if (order.contains(n)) expected << n;
    EXPECT_EQ(order, expected);
}

TEST_F(SourceList, NoFolderOrNoPatchGivesNoSource) {
    EXPECT_EQ(listSources()->getUpdateSrcFileCount(), 0);
    tp.makeFolder(kHost);
    EXPECT_EQ(listSources()->getUpdateSrcFileCount(), 0);
}

TEST_F(SourceList, EachInstanceListsTheFolderOnce) {
    writeStdNW9Patch(tp);
    const auto first = listSources();
    EXPECT_EQ(first->getUpdateSrcFileCount(), 1);
    writePatch(tp, QStringLiteral(u"Velmora丸ゴ StdN W6.pa"), "Velmora W6");
    EXPECT_EQ(first->getUpdateSrcFileCount(), 1);

    const auto second = listSources();
    EXPECT_EQ(second->getUpdateSrcFileCount(), 2);
    EXPECT_TRUE(second->getUpdateFontArray().empty());
}

TEST_F(SourceList, SameStemPairsWithTheFirstListed) {
    writePatch(tp, kStdNW9 + QStringLiteral(".pa"), "A");
    writePatch(tp, kStdNW9, "B");
    writePatch(tp, kStdNW9 + QStringLiteral(".old"), "C");
    const auto ctrl = listSources();
    ASSERT_EQ(ctrl->getUpdateSrcFileCount(), 3);
    for (const auto& s : FontCheckCtrlTestPeer::sources(*ctrl))
        EXPECT_EQ(s->fontfile, kStdNW9 + QStringLiteral(".otf"));

    const auto& firstListed = FontCheckCtrlTestPeer::sources(*ctrl).front();
    EXPECT_EQ(firstListed->fullpath, kHost + QLatin1Char('/') + listed().front());
    EXPECT_EQ(ctrl->IsUpdateFont(kStdNW9 + QStringLiteral(".otf"), QString()), firstListed);
    EXPECT_EQ(ctrl->getUpdateFontPath(QStringLiteral("/Library/Fonts/") + kStdNW9 + QStringLiteral(".otf"), 0x80000),
              firstListed);

    EXPECT_EQ(ctrl->IsUpdateFont(kStdNW9 + QStringLiteral(".OTF"), QString()), nullptr);
    EXPECT_EQ(ctrl->IsUpdateFont(kStdNW9, QString()), nullptr);
    EXPECT_EQ(ctrl->getUpdateFontPath(QStringLiteral(u"/Library/Fonts/Velmora丸ゴ StdN W6.otf"), 0x80000), nullptr);
}

TEST(SourceFolder, HostLiesBesideTheProgram) {
    TestPlatform tp(QStringLiteral("/reviser"));
    EXPECT_EQ(FontCheckCtrl(tp.services()).patchSourceFolder(), QStringLiteral("/host"));
    TestPlatform nested(QStringLiteral("/opt/Reviser/bin/reviser"));
    EXPECT_EQ(FontCheckCtrl(nested.services()).patchSourceFolder(), QStringLiteral("/opt/Reviser/bin/host"));
}

// The alternative list names fonts that no scan admits, so its sources are stated directly.
TEST(AlternativePatch, EarlyRevisionsTakeTheSecondPatch) {
    const QString listed = QString::fromLatin1(kAlternativePatchNames[4]);
    const QString stem = listed.chopped(4);
    const QString target = QStringLiteral("/Library/Fonts/") + listed;

    TestPlatform tp;
    FontCheckCtrl ctrl(tp.services());
    FontCheckCtrlTestPeer::addSource(ctrl, QStringLiteral("/h/") + stem + QStringLiteral(".pa"), listed);
    FontCheckCtrlTestPeer::addSource(ctrl, QStringLiteral("/h/") + stem + QStringLiteral("2.pa"),
                                     stem + QStringLiteral("2.otf"));
    const auto& sources = FontCheckCtrlTestPeer::sources(ctrl);

    EXPECT_EQ(ctrl.getUpdateFontPath(target, 65667), sources[1]);
    EXPECT_EQ(ctrl.getUpdateFontPath(target, 0), sources[1]);
    EXPECT_EQ(ctrl.getUpdateFontPath(target, 65668), sources[0]);
    EXPECT_EQ(ctrl.getUpdateFontPath(target, 0x100000000ull + 5), sources[0]) << "compared as 64 bits";

    // Without a "2.pa" source the font's own patch is taken.
    FontCheckCtrl plain(tp.services());
    FontCheckCtrlTestPeer::addSource(plain, QStringLiteral("/h/") + stem + QStringLiteral(".pa"), listed);
    EXPECT_EQ(plain.getUpdateFontPath(target, 65667), FontCheckCtrlTestPeer::sources(plain)[0]);
    // Without any source: nothing.
    FontCheckCtrl none(tp.services());
    EXPECT_EQ(none.getUpdateFontPath(target, 65667), nullptr);
}

TEST(AlternativePatch, NamesAreDistinctAsciiFontFilesWithoutFamilyWords) {
    QSet<QString> seen;
    for (const char* name : kAlternativePatchNames) {
        const QString n = QString::fromLatin1(name);
        EXPECT_GE(n.size(), 26) << name;
        EXPECT_LE(n.size(), 31) << name;
        EXPECT_TRUE(n.endsWith(QStringLiteral(".otf"))) << name;
        EXPECT_FALSE(n.contains(QStringLiteral("Velmora")) || n.contains(QStringLiteral("Kestrune"))) << name;
        for (QChar c : n) EXPECT_LT(c.unicode(), 0x80) << name;
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 12);
}

}  // namespace
}  // namespace fr
