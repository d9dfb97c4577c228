// The wizard's start: the system version test, the font manager test, the family list, the
// start window's Cancel, and the message operations.

#include "WizardTestSupport.h"

#include "app/Messages.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using apptest::Wizard;
using testsupport::FakeProcesses;
using Processes = std::vector<platform::RunningProcess>;

Q_DECLARE_METATYPE(Processes)

class WizardStart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { apptest::quietPlatformWarnings(); }

    void relaunchSwitchFollowsSystemVersion_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("switchedOff");
        QTest::newRow("10.7.0") << 0x1070 << 1;
        QTest::newRow("10.6.15") << 0x106F << 0;
        QTest::newRow("11.0.0") << 0x1100 << 1;
        QTest::newRow("negative") << -1 << 0;
    }
    void relaunchSwitchFollowsSystemVersion() {
        QFETCH(int, version);
        QFETCH(int, switchedOff);
        Wizard w(version);
        QCOMPARE(w.tp.systemInfo.relaunchDisabled.load(), switchedOff);
    }

    void fontManagerKeepsTheWizardFromStarting_data() {
        QTest::addColumn<Processes>("processes");
        QTest::addColumn<bool>("refused");
        const auto fontBook = FakeProcesses::named(QStringLiteral("Font Book.app"));
        const auto finder = FakeProcesses::named(QStringLiteral("Finder.app"));
        QTest::newRow("none running") << Processes{} << false;
        QTest::newRow("running") << Processes{finder, fontBook} << true;
        QTest::newRow("found, then a process without location")
            << Processes{fontBook, FakeProcesses::withoutLocation()} << true;
        QTest::newRow("behind a process without location")
            << Processes{finder, FakeProcesses::withoutLocation(), fontBook} << false;
        QTest::newRow("behind an unreadable name") << Processes{FakeProcesses::withUnreadableName(), fontBook} << true;
        QTest::newRow("other case") << Processes{FakeProcesses::named(QStringLiteral("font book.app"))} << false;
        QTest::newRow("without extension") << Processes{FakeProcesses::named(QStringLiteral("Font Book"))} << false;
        QTest::newRow("a path, not a name")
            << Processes{FakeProcesses::named(QStringLiteral("/Applications/Font Book.app"))} << false;
    }
    void fontManagerKeepsTheWizardFromStarting() {
        QFETCH(Processes, processes);
        QFETCH(bool, refused);
        Wizard w(0x1070, processes);
        w.log->yes();
        w.ctrl.awakeFromNib();
        if (!refused) {
            QVERIFY(w.ctrl.r_startWindow->isVisible());
            QVERIFY(w.log->asked.isEmpty());
            QCOMPARE(w.terminated.load(), 0);
            return;
        }
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(wizard::kFontManagerRunning)});
        QVERIFY(!w.ctrl.r_AskMessageWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_startWindow), 0);
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
    }

    void fontManagerMessageEndsOnEitherButton() {
        Wizard w(0x1070, {FakeProcesses::named(QStringLiteral("Font Book.app"))});
        w.log->no();
        w.ctrl.awakeFromNib();
        QCOMPARE(w.log->asked.size(), 1);
        QCOMPARE(w.log->timesShown(w.ctrl.r_startWindow), 0);
        QCOMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->unexpected, 0);
    }

    void fontManagerMessageIsStoredByteForByte() {
        // The first プログラム precomposed, the second フ U+309A ロ ク U+3099 ラ ム, in UTF-8.
        const QByteArray composed("\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9\xE3\x83\xA0");
        const QByteArray decomposed(
            "\xE3\x83\x95\xE3\x82\x9A\xE3\x83\xAD\xE3\x82\xAF\xE3\x82\x99\xE3\x83\xA9\xE3\x83\xA0");
        const QByteArray stored(wizard::kFontManagerRunning);
        QCOMPARE(stored.count(composed), 1);
        QCOMPARE(stored.count(decomposed), 1);
        QVERIFY(stored.indexOf(composed) < stored.indexOf(decomposed));

        Wizard w(0x1070, {FakeProcesses::named(QStringLiteral("Font Book.app"))});
        w.log->yes();
        w.ctrl.awakeFromNib();
        QCOMPARE(w.log->asked.value(0).toUtf8(), stored);
        QCOMPARE(w.ctrl.r_AskMessageText->text().toUtf8(), stored);
    }

    void startWindowListsTheFourFamilies() {
        Wizard w;
        w.ctrl.awakeFromNib();
        QVERIFY(w.ctrl.r_startWindow->isVisible());
        const QAbstractItemModel* model = w.ctrl.r_updateList->model();
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) rows << model->index(r, 0).data().toString();
        QCOMPARE(rows,
                 (QStringList{QStringLiteral(u"Velmora角ゴ Std/StdN W9"), QStringLiteral(u"Velmora丸ゴ Std/StdN W6"),
                              QStringLiteral(u"Velmora行書 StdN W8"), QStringLiteral(u"Kestruneゴシック StdN W3")}));
    }

    void dataSourceAnswersOnlyKnownTablesAndColumns() {
        Wizard w;
        w.ctrl.awakeFromNib();
        QTableView other;
        QCOMPARE(w.ctrl.numberOfRowsInTableView(&other), 0);
        QVERIFY(!w.ctrl.tableView(&other, QStringLiteral("upFontList"), 0).isValid());
        QVERIFY(!w.ctrl.tableView(w.ctrl.r_updateList, QStringLiteral("searchFontList"), 0).isValid());
        QVERIFY(!w.ctrl.tableView(w.ctrl.r_updateList, QStringLiteral("upFontList"), 4).isValid());
        QVERIFY(!w.ctrl.tableView(w.ctrl.r_updateList, QStringLiteral("upFontList"), -1).isValid());
        QVERIFY(!w.ctrl.tableView(w.ctrl.r_searchFontList, QStringLiteral("upFontList"), 0).isValid());
    }

    // The Cancel button, or the window closed from its title bar, which does the same.
    void startCancel_data() {
        QTest::addColumn<bool>("titleBar");
        QTest::newRow("button") << false;
        QTest::newRow("title bar") << true;
    }
    void startCancel() {
        QFETCH(bool, titleBar);
        Wizard w;
        w.ctrl.awakeFromNib();
        const auto cancel = [&] {
            if (titleBar)
                w.ctrl.r_startWindow->close();
            else
                w.ctrl.startWindowCancelButton();
        };
        w.log->no();
        cancel();
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(wizard::kCancelRevision)});
        QVERIFY(w.ctrl.r_startWindow->isVisible());
        QVERIFY(!w.ctrl.r_AskMessageWindow->isVisible());
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 4);
        QCOMPARE(w.terminated.load(), 0);
        QCOMPARE(w.terminated.load(), 0);

        w.log->yes();
        cancel();
        QVERIFY(!w.ctrl.r_startWindow->isVisible());
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
        // Once ended, no further window comes up.
        QCOMPARE(w.ctrl.askAlertMessage("?"), false);
        QCOMPARE(w.log->asked.size(), 2);
    }

    void releaseDataTwice() {
        Wizard w;
        w.ctrl.awakeFromNib();
        w.ctrl.releaseData();
        w.ctrl.releaseData();
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
        QVERIFY(!w.ctrl.tableView(w.ctrl.r_updateList, QStringLiteral("upFontList"), 0).isValid());
        QCOMPARE(w.terminated.load(), 0);
    }

    void askAlertMessageIsTrueOnlyForCodeOne() {
        Wizard w;
        w.log->yes();
        QVERIFY(w.ctrl.askAlertMessage("a"));
        w.log->no();
        QVERIFY(!w.ctrl.askAlertMessage("b"));
        w.log->then([&] { w.ctrl.messageOK(); });
        QVERIFY(!w.ctrl.askAlertMessage("c"));
        // Closed from its title bar: an answer of no, not a hang.
        w.log->then([&] { w.ctrl.r_AskMessageWindow->close(); });
        QVERIFY(!w.ctrl.askAlertMessage("d"));
        QCOMPARE(w.log->asked, (QStringList{"a", "b", "c", "d"}));
        QVERIFY(!w.ctrl.r_AskMessageWindow->isVisible());
        QCOMPARE(w.terminated.load(), 0);
    }

    void messageWindowEndsTheApplication() {
        Wizard w;
        w.log->ok();
        w.ctrl.alertErrorMessage3(QStringLiteral("x"));
        QCOMPARE(w.log->told, QStringList{"x"});
        QVERIFY(!w.ctrl.r_MessageWindow->isVisible());
        QCOMPARE(w.terminated.load(), 1);
    }

    void alertErrorMessageGoesOn() {
        Wizard w;
        w.log->no();
        w.ctrl.alertErrorMessage("y");
        QCOMPARE(w.log->asked, QStringList{"y"});
        QCOMPARE(w.terminated.load(), 0);
        w.log->yes();
        w.ctrl.alertErrorMessage2(QStringLiteral("z"));
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
    }
};

QTEST_MAIN(WizardStart)
#include "wizard_start_test.moc"
