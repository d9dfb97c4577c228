// The search phase on a scratch disk: the patch source check, the search worker with its
// callback and cancel confirmation, the font list and its Cancel button.

#include "WizardTestSupport.h"

#include "JapaneseTexts.h"
#include "discovery/FontCheckCtrl.h"
#include "platform/Platform.h"
#include "support/TestKey.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <sys/file.h>

#include <functional>
#include <mutex>

using apptest::CancelBy;
using apptest::Wizard;

namespace {

const QString kVolumeA = QStringLiteral("/Volumes/A");
const QString kVolumeB = QStringLiteral("/Volumes/B");
const QString kFontsA = kVolumeA + QStringLiteral("/Fonts");
const QString kFontsB = kVolumeB + QStringLiteral("/Fonts");

// Volumes that let a test act while the walk stands at a folder: the walk asks about every
// folder just before it reports it to the search callback.
class WatchedVolumes : public testsupport::FakeVolumes {
public:
    std::function<void(const QString&)> atFolder;
    bool isOtherMountPoint(const QString& folder) const override {
        if (atFolder) atFolder(folder);
        return FakeVolumes::isOtherMountPoint(folder);
    }
};

// Two fixed volumes with one installed StdN W9 font each, its patch beside the program.
struct SearchWizard : Wizard {
    explicit SearchWizard(fr::FontReviser reviser = {}) : Wizard(0x1070, {}, &volumes, std::move(reviser)) {
        volumes.volumes = {{kVolumeA}, {kVolumeB}};
        apptest::writeStdNW9Patch(tp);
        apptest::writeStdNW9Font(tp, kFontsA);
        apptest::writeStdNW9Font(tp, kFontsB);
        ctrl.awakeFromNib();
    }
    ~SearchWizard() {
        // The controller goes first, with its worker, while the volumes still exist.
        log.reset();
        ctrlPtr.reset();
    }
    // Presses the search window's Cancel `times` times while the walk stands at `folder`, or
    // leaves the window another way that does the same.
    void pressCancelAt(const QString& folder, int times = 1, CancelBy way = CancelBy::Button) {
        QWidget* window = ctrl.r_searchWindow;
        auto previous = volumes.atFolder;
        volumes.atFolder = [=](const QString& at) {
            if (previous) previous(at);
            if (at != folder) return;
            for (int i = 0; i < times; ++i)
                QMetaObject::invokeMethod(
                    window, [window, way] { apptest::cancel(window, way); }, Qt::BlockingQueuedConnection);
        };
    }
    QStringList fontList() const {
        QStringList rows;
        const QAbstractItemModel* model = ctrl.r_searchFontList->model();
        for (int r = 0; r < model->rowCount(); ++r) rows << model->index(r, 0).data().toString();
        return rows;
    }

    WatchedVolumes volumes;
};

// A window's default button pressed: with the mouse (no key), or with Enter where the focus is
// when the window comes up or in the window's list.
void defaultButtonRows() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("inList");
    QTest::newRow("button") << 0 << false;
    QTest::newRow("Enter") << int(Qt::Key_Return) << false;
    QTest::newRow("Enter in the list") << int(Qt::Key_Return) << true;
}

}  // namespace

class WizardSearch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { apptest::quietPlatformWarnings(); }

    void noPatchSourceEndsBeforeSearching_data() { defaultButtonRows(); }
    void noPatchSourceEndsBeforeSearching() {
        QFETCH(int, key);
        QFETCH(bool, inList);
        Wizard w;
        w.ctrl.awakeFromNib();
        QVERIFY(QTest::qWaitForWindowActive(w.ctrl.r_startWindow));
        w.log->ok();
        if (inList) w.ctrl.r_updateList->setFocus();
        if (key)
            apptest::pressKey(w.ctrl.r_startWindow, Qt::Key(key));
        else
            w.ctrl.r_startWindow->findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
        QCOMPARE(w.log->told, QStringList{QString::fromUtf8(jatext::kNoSource) +
                                          QStringLiteral(u"\n\nフォルダ %1 がありません。").arg(apptest::kHost)});
        QCOMPARE(w.log->over, QStringList{QStringLiteral("StartWindow")});
        QCOMPARE(w.log->timesShown(w.ctrl.r_searchWindow), 0);
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
    }

    // The no-source message says why, in one line under the product's own text.
    void noPatchSourceSaysWhy_data() {
        QTest::addColumn<QString>("host");  // what "host" holds
        QTest::addColumn<bool>("keyBuiltIn");
        QTest::addColumn<QString>("why");
        QTest::newRow("no patch for these fonts")
            << "notes" << false << QStringLiteral(u"%1 には、これらのフォントの改訂ファイルがありません。");
        QTest::newRow("unsigned, a key built in") << "patch" << true
                                                  << QStringLiteral(
                                                         u"%1 の改訂ファイルには、このプログラムが必要とする"
                                                         u"販売元の署名がありません。");
        QTest::newRow("a signature that does not verify")
            << "forged" << true << QStringLiteral(u"%1 の改訂ファイルの署名を確かめられません。");
    }
    void noPatchSourceSaysWhy() {
        QFETCH(QString, host);
        QFETCH(bool, keyBuiltIn);
        QFETCH(QString, why);
        Wizard w;
        if (host == QLatin1String("notes"))
            w.tp.writeFile(apptest::kHost + QStringLiteral("/notes.txt"), {'x'});
        else
            apptest::writeStdNW9Patch(w.tp);
        if (host == QLatin1String("forged")) {
            w.tp.writeFile(apptest::kHost + QStringLiteral("/patches.manifest"), {'x'});
            w.tp.writeFile(apptest::kHost + QStringLiteral("/patches.manifest.minisig"), {'y'});
        }
        if (keyBuiltIn) w.ctrl.setTrustedKey(testsupport::testKey());
        w.log->ok();
        w.ctrl.startWindowNextButton();
        QCOMPARE(w.log->told,
                 QStringList{QString::fromUtf8(jatext::kNoSource) + QStringLiteral("\n\n") + why.arg(apptest::kHost)});
        QCOMPARE(w.terminated.load(), 1);
    }

    // Another revision holds the lock: the wizard says so and ends before it searches; once
    // it is free, the wizard holds it from its search on.
    void anotherRevisionRunningEndsBeforeTheSearch() {
        for (const bool held : {true, false}) {
            SearchWizard w;
            const QString lockFile = w.tp.real(w.tp.state().lockFile());
            QDir().mkpath(QFileInfo(lockFile).path());
            QFile lock(lockFile);
            QVERIFY(lock.open(QIODevice::ReadWrite));
            if (held) QCOMPARE(::flock(lock.handle(), LOCK_EX | LOCK_NB), 0);
            w.log->ok();
            w.ctrl.startWindowNextButton();
            if (held) {
                QCOMPARE(w.log->told, QStringList{QString::fromUtf8(jatext::kAnotherRevisionRunning)});
                QCOMPARE(w.log->timesShown(w.ctrl.r_searchWindow), 0);
                QCOMPARE(w.terminated.load(), 1);
            } else {
                QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
                QCOMPARE(::flock(lock.handle(), LOCK_EX | LOCK_NB), -1);  // the wizard holds it
            }
        }
    }

    void searchShowsEveryTargetFound() {
        SearchWizard w;
        w.ctrl.r_startWindow->findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
        QVERIFY(!w.ctrl.r_startWindow->isVisible());
        QVERIFY(w.ctrl.r_searchWindow->isVisible());
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        QVERIFY(!w.ctrl.r_searchWindow->isVisible());
        QCOMPARE(w.fontList(), (QStringList{apptest::stdNW9Path(kFontsA), apptest::stdNW9Path(kFontsB)}));
        QCOMPARE(w.ctrl.r_waitMessage->text(), kFontsB);
        QVERIFY(w.log->asked.isEmpty());
        QVERIFY(w.tp.pauses.taken() == std::vector<int>{500});
        QCOMPARE(w.terminated.load(), 0);
    }

    void searchWithoutTargetEnds() {
        SearchWizard w;
        w.volumes.volumes = {{QStringLiteral("/Volumes/Empty")}};
        w.tp.makeFolder(QStringLiteral("/Volumes/Empty/Fonts"));
        w.log->ok();
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.terminated.load() > 0);
        QCOMPARE(w.log->told, QStringList{QString::fromUtf8(jatext::kNoTarget)});
        QCOMPARE(w.log->over, QStringList{QString()});  // the search window has gone
        QVERIFY(!w.ctrl.r_searchWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_fontListWindow), 0);
        QTRY_COMPARE(w.terminated.load(), 1);
    }

    void cancelYesKeepsTheTargetsFoundSoFar_data() {
        QTest::addColumn<CancelBy>("way");
        QTest::newRow("button") << CancelBy::Button;
        QTest::newRow("title bar") << CancelBy::TitleBar;
        QTest::newRow("Escape") << CancelBy::Escape;
    }
    void cancelYesKeepsTheTargetsFoundSoFar() {
        QFETCH(CancelBy, way);
        SearchWizard w;
        w.pressCancelAt(kFontsB, 1, way);
        w.log->yes();
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(jatext::kCancelSearch)});
        QCOMPARE(w.log->over, QStringList{QStringLiteral("SearchWindow")});
        QCOMPARE(w.fontList(), QStringList{apptest::stdNW9Path(kFontsA)});
        // The folder at which the user answered is the one shown.
        QCOMPARE(w.ctrl.r_waitMessage->text(), kFontsB);
        QCOMPARE(w.ctrl.isbWaitAbort(), 1);
    }

    void cancelYesBeforeAnyTargetEnds() {
        SearchWizard w;
        w.pressCancelAt(kFontsA, 1, CancelBy::TitleBar);
        w.log->yes();
        w.log->ok();
        w.ctrl.startWindowNextButton();
        QTRY_COMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->told, QStringList{QString::fromUtf8(jatext::kNoTarget)});
        QCOMPARE(w.log->timesShown(w.ctrl.r_fontListWindow), 0);
    }

    void cancelNoGoesOnAndALaterCancelAsksAgain() {
        SearchWizard w;
        w.pressCancelAt(kFontsA, 3);  // several presses, one question
        w.pressCancelAt(kFontsB, 1, CancelBy::TitleBar);
        w.log->no();
        w.log->no();
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        QCOMPARE(w.log->asked.size(), 2);
        QCOMPARE(w.fontList().size(), 2);
        QCOMPARE(w.ctrl.isbWaitAbort(), 0);
        QCOMPARE(w.log->unexpected, 0);
        QCOMPARE(w.log->timesShown(w.ctrl.r_searchWindow), 1);  // a title-bar close did not end it
    }

    void fontListCancel_data() {
        QTest::addColumn<CancelBy>("way");
        QTest::newRow("button") << CancelBy::Button;
        QTest::newRow("title bar") << CancelBy::TitleBar;
        QTest::newRow("Escape") << CancelBy::Escape;
        QTest::newRow("Escape in the list") << CancelBy::EscapeInList;
    }
    void fontListCancel() {
        QFETCH(CancelBy, way);
        SearchWizard w;
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        const auto cancel = [&] { apptest::cancel(w.ctrl.r_fontListWindow, way); };
        w.log->no();
        cancel();
        QVERIFY(w.ctrl.r_fontListWindow->isVisible());
        QCOMPARE(w.terminated.load(), 0);
        QCOMPARE(w.fontList().size(), 2);
        w.log->yes();
        cancel();
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
        QCOMPARE(w.log->asked,
                 (QStringList{QString::fromUtf8(jatext::kCancelRevision), QString::fromUtf8(jatext::kCancelRevision)}));
        QCOMPARE(w.log->over, (QStringList{QStringLiteral("FontListWindow"), QStringLiteral("FontListWindow")}));
    }

    void realRevisionReportsInTheProgressWindow() {
        // The fixture's patch carries no table data, so the engine stops this font with one of
        // its failure codes; what matters here is that it ran and reported through the wizard.
        SearchWizard w;
        w.volumes.volumes = {{kVolumeA}};
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        w.log->ok();
        w.ctrl.fontListWindowEnterButton();
        QTRY_COMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->told.size(), 1);
        QCOMPARE(w.ctrl.r_progressMessage1->text(),
                 QStringLiteral("%1の改訂をしています。").arg(apptest::stdNW9Path(kFontsA)));
        QVERIFY(w.ctrl.r_progressBar1->value() >= 10);
        QCOMPARE(w.log->timesShown(w.ctrl.r_endWindow), 0);
    }

    void enterRevisesTheTargetsInListOrder_data() { defaultButtonRows(); }
    void enterRevisesTheTargetsInListOrder() {
        QFETCH(int, key);
        QFETCH(bool, inList);
        std::mutex mutex;
        QStringList revised;
        SearchWizard w([&](const fr::TargetEntry& t, fr::RevisionProgressProc, void*, std::int32_t n, std::int32_t i) {
            std::lock_guard lock(mutex);
            revised << QStringLiteral("%1 %2/%3").arg(t.fullpath).arg(i).arg(n);
            return std::int32_t{0};
        });
        w.ctrl.startWindowNextButton();
        QTRY_VERIFY(w.ctrl.r_fontListWindow->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(w.ctrl.r_fontListWindow));
        if (inList) w.ctrl.r_searchFontList->setFocus();
        if (key)
            apptest::pressKey(w.ctrl.r_fontListWindow, Qt::Key(key));
        else
            w.ctrl.r_fontListWindow->findChild<QPushButton*>(QStringLiteral("enterButton"))->click();
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());
        std::lock_guard lock(mutex);
        QCOMPARE(revised, (QStringList{apptest::stdNW9Path(kFontsA) + " 0/2", apptest::stdNW9Path(kFontsB) + " 1/2"}));
    }
};

QTEST_MAIN(WizardSearch)
#include "wizard_search_test.moc"
