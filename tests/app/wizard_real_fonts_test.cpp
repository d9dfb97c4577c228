// The whole wizard on real fonts: the six fixture faces installed on a scratch disk like a
// desktop's, found by the search, revised by the real engine from their patches in the
// "host" folder, and the restart asked of the desktop session once.

#include "WizardTestSupport.h"

#include "patch/RunHistory.h"
#include "support/FixtureSet.h"
#include "support/TestKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using apptest::Wizard;
using testsupport::FixtureSet;
using testsupport::kFixtureFaces;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList rowsOf(const QTableView* table) {
    QStringList rows;
    for (int r = 0; r < table->model()->rowCount(); ++r) rows << table->model()->index(r, 0).data().toString();
    return rows;
}

QPushButton* button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

class WizardRealFonts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        apptest::quietPlatformWarnings();
        QString error;
        m_set = FixtureSet::shared(error);
        QVERIFY2(m_set, qPrintable(error));
    }

    void revisesEveryInstalledFontAndOffersTheRestart_data() {
        QTest::addColumn<bool>("signedHost");
        QTest::newRow("patches without a manifest, a program that trusts no key") << false;
        QTest::newRow("patches signed with the key the program trusts") << true;
    }
    void revisesEveryInstalledFontAndOffersTheRestart() {
        QFETCH(bool, signedHost);
        Wizard w;
        const FixtureSet& set = *m_set;
        w.tp.volumes.volumes = {{QStringLiteral("/")}};
        w.tp.fontFolders.folders = {QStringLiteral("/usr/share/fonts"), QStringLiteral("/usr/local/share/fonts")};
        // Installed fonts in the places a desktop keeps them, under names as other systems
        // store them: a decomposed file name, a decomposed folder, a full-width folder, and
        // the folders of a Linux system beyond the walk's depth limits. One face is reached a
        // second time through a link in the user's own fonts folder.
        const auto nfd = [](const QString& s) { return s.normalized(QString::NormalizationForm_D); };
        const QString otf = QStringLiteral(".otf");
        const QStringList installed = {
            QStringLiteral("/Library/Fonts/") + kFixtureFaces[0] + otf,
            QStringLiteral("/Users/kana/Library/Fonts/") + nfd(kFixtureFaces[1] + otf),
            QStringLiteral("/Library/Fonts/") + nfd(QStringLiteral(u"ゴシック体")) + QLatin1Char('/') +
                kFixtureFaces[2] + otf,
            QStringLiteral(u"/Users/kana/Library/Fonts/ＶｅｌｍｏｒａＦｏｎｔｓ/") + kFixtureFaces[3] + otf,
            QStringLiteral("/usr/share/fonts/opentype/velmora/") + kFixtureFaces[4] + otf,
            QStringLiteral("/usr/local/share/fonts/velmora/") + kFixtureFaces[5] + otf,
        };
        QVERIFY(installed[1] != installed[1].normalized(QString::NormalizationForm_KC));
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            w.tp.writeFile(installed[k], [&] {
                const QByteArray b = contents(set.oldFont(kFixtureFaces[k]));
                return std::vector<std::uint8_t>(b.begin(), b.end());
            }());
            w.tp.writeFile(apptest::kHost + QLatin1Char('/') + kFixtureFaces[k] + QStringLiteral(".pa"), [&] {
                const QByteArray b = contents(set.patchOf(kFixtureFaces[k]));
                return std::vector<std::uint8_t>(b.begin(), b.end());
            }());
        }
        if (signedHost) {
            for (const QString& file : {set.manifest(), set.manifestSignature()})
                w.tp.writeFile(apptest::kHost + QLatin1Char('/') + QFileInfo(file).fileName(), [&] {
                    const QByteArray b = contents(file);
                    return std::vector<std::uint8_t>(b.begin(), b.end());
                }());
            w.ctrl.setTrustedKey(testsupport::testKey());
        }
        const QString link = QStringLiteral("/Users/kana/Library/Fonts/") + kFixtureFaces[0] + QStringLiteral(".otf");
        w.tp.makeLink(link, QStringLiteral("../../../../Library/Fonts/") + kFixtureFaces[0] + QStringLiteral(".otf"));

        w.ctrl.awakeFromNib();
        button(w.ctrl.r_startWindow, "nextButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.ctrl.r_fontListWindow->isVisible(), 20000);
        QStringList found = rowsOf(w.ctrl.r_searchFontList);
        QCOMPARE(found.size(), kFixtureFaces.size() + 1);  // the linked face twice
        QVERIFY(found.contains(link));
        for (const QString& path : installed) QVERIFY2(found.contains(path), qPrintable(path));
        // The font list says when no signature proves the patches.
        QCOMPARE(w.ctrl.r_trustNote->isVisible(), !signedHost);

        button(w.ctrl.r_fontListWindow, "enterButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.ctrl.r_endWindow->isVisible(), 30000);
        QVERIFY(w.log->told.isEmpty());

        // Each font is now what the reference applier makes of it, accepted by ots-sanitize;
        // the link still points at the one revised file.
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            const QString real = w.tp.real(installed[k]);
            QCOMPARE(contents(real), contents(set.referenceOf(kFixtureFaces[k])));
            const auto ots = testsupport::runProcess(QStringLiteral("ots-sanitize"), {real});
            QVERIFY2(ots.code == 0, qPrintable(ots.out + ots.err));
        }
        QVERIFY(w.tp.files().isSymbolicLink(link));
        QVERIFY(QDir(w.tp.real(QStringLiteral("/tmp"))).isEmpty());
        // The wizard's run is in this user's history, each font with its old file kept.
        const std::vector<fr::RunRecord> runs = fr::readHistory(w.tp.files(), w.tp.state().folder());
        QCOMPARE(runs.size(), std::size_t{1});
        QCOMPARE(runs[0].fonts.size(), static_cast<std::size_t>(kFixtureFaces.size()));
        for (const fr::FontRecord& font : runs[0].fonts)
            QVERIFY2(font.status == 0 && !font.backup.isEmpty() && !font.newSha256.isEmpty(), qPrintable(font.path));
        // Nothing of ours beside any font.
        for (const QString& path : installed) {
            const QDir folder = QFileInfo(w.tp.real(path)).dir();
            QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden | QDir::System).filter(QStringLiteral("font-reviser")),
                     QStringList());
        }

        w.tp.restart.sessionAnswer = platform::SessionManager::Gnome;
        button(w.ctrl.r_endWindow, "enterButton")->click();
        QCOMPARE(w.tp.restart.sessionAsked(), 1);
        QCOMPARE(w.tp.restart.sent().size(), std::size_t{0});
        QCOMPARE(w.terminated.load(), 1);
    }

private:
    std::optional<FixtureSet> m_set;
};

QTEST_MAIN(WizardRealFonts)
#include "wizard_real_fonts_test.moc"
