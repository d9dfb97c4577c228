// The wizard's start: the system version test, the font manager test, the family list, the
// start window's Cancel, the message operations, and the keys every window answers.

#include "WizardTestSupport.h"

#include "JapaneseTexts.h"
#include "app/WizardTableModel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>

using apptest::CancelBy;
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

        // The desktops' font managers, by the names of their executables.
        const auto named = [](const char* name) { return FakeProcesses::named(QString::fromUtf8(name)); };
        QTest::newRow("GNOME font viewer") << Processes{named("bash"), named("gnome-font-viewer")} << true;
        QTest::newRow("Font Manager") << Processes{named("font-manager"), named("bash")} << true;
        QTest::newRow("KDE font viewer") << Processes{named("kfontview")} << true;
        QTest::newRow("KDE font installer") << Processes{named("kfontinst")} << true;
        QTest::newRow("desktop's, behind a process without location")
            << Processes{named("bash"), FakeProcesses::withoutLocation(), named("kfontview")} << true;
        QTest::newRow("desktop's, behind an unreadable name")
            << Processes{FakeProcesses::withUnreadableName(), named("font-manager")} << true;
        QTest::newRow("a longer name") << Processes{named("font-manager-search-provider")} << false;
        QTest::newRow("desktop's, a path") << Processes{named("/usr/bin/kfontview")} << false;
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
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(jatext::kFontManagerRunning)});
        QCOMPARE(w.log->over, QStringList{QString()});  // no window is on screen yet
        QVERIFY(!w.ctrl.r_AskMessageWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_startWindow), 0);
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
        const QByteArray stored(jatext::kFontManagerRunning);
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

    // The Cancel button, or the window closed from its title bar or with Escape, which do the same.
    void startCancel_data() {
        QTest::addColumn<CancelBy>("way");
        QTest::newRow("button") << CancelBy::Button;
        QTest::newRow("title bar") << CancelBy::TitleBar;
        QTest::newRow("Escape") << CancelBy::Escape;
        QTest::newRow("Escape in the list") << CancelBy::EscapeInList;
    }
    void startCancel() {
        QFETCH(CancelBy, way);
        Wizard w;
        w.ctrl.awakeFromNib();
        const auto cancel = [&] { apptest::cancel(w.ctrl.r_startWindow, way); };
        w.log->no();
        cancel();
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(jatext::kCancelRevision)});
        QVERIFY(w.ctrl.r_startWindow->isVisible());
        QVERIFY(!w.ctrl.r_AskMessageWindow->isVisible());
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 4);
        QCOMPARE(w.terminated.load(), 0);

        w.log->yes();
        cancel();
        QVERIFY(!w.ctrl.r_startWindow->isVisible());
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
        QCOMPARE(w.terminated.load(), 1);
        // Once ended, no further window comes up.
        QCOMPARE(w.ctrl.askAlertMessage("?"), false);
        QCOMPARE(w.log->asked.size(), 2);
        QCOMPARE(w.log->over, (QStringList{QStringLiteral("StartWindow"), QStringLiteral("StartWindow")}));
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
        QCOMPARE(w.terminated.load(), 1);
    }

    // Keys pressed where the focus is from the moment a confirmation or message shows over the
    // start window, moved aside so that centred over it differs from centred on the screen.
    void answeredFromTheKeyboard_data() {
        QTest::addColumn<bool>("message");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Enter") << false << QList<int>{Qt::Key_Return} << false;
        QTest::newRow("Escape") << false << QList<int>{Qt::Key_Escape} << false;
        QTest::newRow("Tab, Enter") << false << QList<int>{Qt::Key_Tab, Qt::Key_Return} << true;
        QTest::newRow("Tab twice, Enter") << false << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << false;
        QTest::newRow("message, Enter") << true << QList<int>{Qt::Key_Return} << false;
        QTest::newRow("message, Escape") << true << QList<int>{Qt::Key_Escape} << false;
    }
    void answeredFromTheKeyboard() {
        QFETCH(bool, message);
        QFETCH(QList<int>, keys);
        QFETCH(bool, yes);
        Wizard w;
        w.ctrl.awakeFromNib();
        w.ctrl.r_startWindow->move(10, 10);
        QWidget* dialog = message ? w.ctrl.r_MessageWindow : w.ctrl.r_AskMessageWindow;
        // A modal dialog without minimise or maximise buttons, centred over the window (within
        // what the frames of windows not yet shown shift them by), No its default answer.
        bool asDialog = false;
        int runsOver = 0;
        bool leftOpen = false;
        const auto press = [&](const QList<int>& sequence) {
            const QPoint off = dialog->frameGeometry().center() - w.ctrl.r_startWindow->frameGeometry().center();
            asDialog = dialog->isModal() && dialog->windowType() == Qt::Dialog && off.manhattanLength() <= 8 &&
                       !(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) &&
                       (message || (w.ctrl.r_AskCancelButton->isDefault() && !w.ctrl.r_AskOKButton->isDefault()));
            for (int key : sequence) apptest::pressKey(dialog, Qt::Key(key));
            // Keys that leave the run going fail the test instead of hanging it.
            QTimer::singleShot(0, dialog, [&, run = runsOver] {
                if (run != runsOver) return;
                leftOpen = true;
                dialog->close();
            });
        };
        w.log->then([&] { press(keys); });
        if (message) {
            w.ctrl.alertErrorMessage3(QStringLiteral("x"));
        } else {
            const bool answer = w.ctrl.askAlertMessage("a");
            ++runsOver;
            QCOMPARE(answer, yes);
            // However the last one was answered, the next starts on No again.
            w.log->then([&] { press({Qt::Key_Return}); });
            QVERIFY(!w.ctrl.askAlertMessage("b"));
        }
        QVERIFY(!leftOpen);
        QVERIFY(asDialog);
        QCOMPARE(w.log->over.value(0), QStringLiteral("StartWindow"));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.terminated.load(), message ? 1 : 0);
    }

    // Where the focus is when a window has come up, then after each Tab; and the button Enter
    // presses from there, with the controller unhooked from the buttons.
    void tabReachesEveryButton_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("focus");
        QTest::addColumn<QString>("enter");
        const QString cancel = QStringLiteral("cancelButton");
        QTest::newRow("start") << "StartWindow" << QStringList{"nextButton", "r_updateList", cancel, "nextButton"}
                               << "nextButton";
        // Nothing to go on to: Enter doesn't stop a running search or revision.
        QTest::newRow("search") << "SearchWindow" << QStringList{cancel, cancel} << QString();
        QTest::newRow("font list") << "FontListWindow"
                                   << QStringList{"enterButton", "r_searchFontList", cancel, "enterButton"}
                                   << "enterButton";
        QTest::newRow("progress") << "ProgressWindow" << QStringList{cancel, cancel} << QString();
        QTest::newRow("end") << "EndWindow" << QStringList{"enterButton", cancel, "enterButton"} << "enterButton";
        QTest::newRow("confirmation") << "AskMessageWindow"
                                      << QStringList{"r_AskCancelButton", "r_AskOKButton", "r_AskCancelButton"}
                                      << "r_AskCancelButton";
        QTest::newRow("message") << "MessageWindow" << QStringList{"r_OKButton", "r_OKButton"} << "r_OKButton";
    }
    void tabReachesEveryButton() {
        QFETCH(QString, window);
        QFETCH(QStringList, focus);
        QFETCH(QString, enter);
        Wizard w;
        // Rows in both lists, which a list that keeps Tab to itself would move through.
        const auto font = std::make_shared<fr::TargetEntry>(fr::TargetEntry{QStringLiteral("/F/V.otf"), 0x80000});
        w.ctrl.setTargets({font, font});
        static_cast<wizard::WizardTableModel*>(w.ctrl.r_searchFontList->model())->reloadData();
        w.ctrl.awakeFromNib();
        w.ctrl.r_startWindow->hide();
        QWidget* shown = nullptr;
        for (QWidget* each : QApplication::topLevelWidgets())
            if (each->objectName() == window) shown = each;
        QVERIFY(shown);
        shown->show();
        QVERIFY(QTest::qWaitForWindowActive(shown));
        const auto at = [&] { return shown->focusWidget() ? shown->focusWidget()->objectName() : QString(); };
        QStringList seen{at()};
        for (qsizetype i = 1; i < focus.size(); ++i) {
            apptest::pressKey(shown, Qt::Key_Tab);
            seen << at();
        }
        QCOMPARE(seen, focus);

        QStringList clicked;
        for (QPushButton* button : shown->findChildren<QPushButton*>()) {
            button->disconnect(&w.ctrl);
            connect(button, &QPushButton::clicked, [&clicked, button] { clicked << button->objectName(); });
        }
        apptest::pressKey(shown, Qt::Key_Return);
        QCOMPARE(clicked, enter.isEmpty() ? QStringList{} : QStringList{enter});
    }

    // Every window in the desktop's language: under a Japanese locale the product's own
    // texts byte for byte, under any other English; the messages too.
    void everyWindowSpeaksTheDesktopsLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("buttons");  // left to right
        QTest::addColumn<QString>("title");
        const auto ja = [](const char* text) { return QString::fromUtf8(text); };
        const struct {
            const char* window;
            QStringList japanese;
        } windows[] = {
            {"StartWindow", {ja(jatext::kCancel), ja(jatext::kNext)}},
            {"SearchWindow", {ja(jatext::kCancel)}},
            {"FontListWindow", {ja(jatext::kCancel), ja(jatext::kStartRevision)}},
            {"ProgressWindow", {ja(jatext::kCancel)}},
            {"EndWindow", {ja(jatext::kCancel), ja(jatext::kRestart)}},
            {"AskMessageWindow", {ja(jatext::kNo), ja(jatext::kYes)}},
            {"MessageWindow", {"OK"}},
        };
        for (const auto& w : windows)
            QTest::addRow("%s, Japanese", w.window) << "ja_JP" << w.window << w.japanese << ja(jatext::kTitle);
        // Elsewhere no translation is loaded: the texts as the program writes them.
        QTest::newRow("StartWindow, English")
            << "C"
            << "StartWindow" << QStringList{"Cancel", "Next"} << "OpenType Velmora Font Reviser";
    }
    void everyWindowSpeaksTheDesktopsLanguage() {
        QFETCH(QString, locale);
        QFETCH(QString, window);
        QFETCH(QStringList, buttons);
        QFETCH(QString, title);
        apptest::useLanguage(locale == QLatin1String("C") ? "C" : "ja_JP");
        Wizard w;
        apptest::useLanguage("ja_JP");
        QWidget* shown = nullptr;
        for (QWidget* candidate : QApplication::topLevelWidgets())
            if (candidate->objectName() == window) shown = candidate;
        QVERIFY(shown);
        QCOMPARE(shown->windowTitle(), title);
        QList<QPushButton*> found = shown->findChildren<QPushButton*>();
        w.log->ok();    // for the confirmation and the message, shown here on their own
        shown->show();  // laid out, so the buttons stand in their order
        std::sort(found.begin(), found.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList texts;
        for (const QPushButton* button : found) texts << button->text();
        QCOMPARE(texts, buttons);
        shown->hide();
        // A message of the run in the same language.
        const bool japanese = locale != QLatin1String("C");
        w.log->no();
        w.ctrl.startWindowCancelButton();
        QCOMPARE(w.log->asked.last(), japanese ? QString::fromUtf8(jatext::kCancelRevision)
                                               : QStringLiteral("The font revision will be stopped.\n\nTo stop it, "
                                                                "press the “Yes” button;\nnot to stop it, press the "
                                                                "“No” button."));
    }
};

QTEST_MAIN(WizardStart)
#include "wizard_start_test.moc"
