// The revision phase with a stand-in for the per-font revision: progress points as the window
// shows them, cancel, the message for each result code, the end window and the restart request.

#include "WizardTestSupport.h"

#include "JapaneseTexts.h"
#include "app/ProgressLines.h"
#include "platform/RestartRequest.h"
#include "support/ProgressSteps.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <QThread>

#include <atomic>
#include <mutex>

using apptest::CancelBy;
using apptest::Wizard;

namespace {

constexpr auto kSteps = testsupport::kAllSteps;
const QList<int> kStepList(testsupport::kAllSteps.begin(), testsupport::kAllSteps.end());

// Targets handed to the wizard directly, and a revision that reports the nine progress points
// of a font and returns a chosen code.
struct RevisionWizard : Wizard {
    explicit RevisionWizard(const QStringList& paths)
        : Wizard(0x1070, {}, nullptr,
                 [this](const fr::TargetEntry& t, fr::RevisionProgressProc proc, void* context, std::int32_t n,
                        std::int32_t i) {
                     return other ? other(t, proc, context, n, i) : revise(t, proc, context, n, i);
                 }) {
        for (const QString& p : paths)
            targets.push_back(std::make_shared<fr::TargetEntry>(fr::TargetEntry{p, 0x80000}));
        ctrl.setTargets(targets);
    }

    std::int32_t revise(const fr::TargetEntry& t, fr::RevisionProgressProc proc, void* context, std::int32_t n,
                        std::int32_t i) {
        {
            std::lock_guard lock(mutex);
            revised << t.fullpath;
        }
        for (std::int32_t step : kSteps) {
            if (step == pressCancelAtStep && i == cancelFont) {
                QWidget* window = ctrl.r_progressWindow;
                const CancelBy way = cancelBy;
                QMetaObject::invokeMethod(
                    window, [window, way] { apptest::cancel(window, way); }, Qt::BlockingQueuedConnection);
            }
            if (proc(fr::overallPercent(step, n, i), step, t.fullpath, QStringLiteral("step %1").arg(step), context))
                return fr::result::kCancelled;
        }
        return code;
    }
    QStringList revisedPaths() {
        std::lock_guard lock(mutex);
        return revised;
    }
    void enter() { ctrl.r_fontListWindow->findChild<QPushButton*>(QStringLiteral("enterButton"))->click(); }

    std::vector<fr::TargetEntryPtr> targets;
    fr::FontReviser other;  // a test's own revision instead of the nine points below
    std::int32_t code = 0;
    std::int32_t pressCancelAtStep = -1;   // the user presses Cancel just before this point of one font
    std::int32_t cancelFont = 0;           // that font: the first unless a test says otherwise
    CancelBy cancelBy = CancelBy::Button;  // or leaves the window another way that does the same
    std::mutex mutex;
    QStringList revised;
};

QStringList fonts(int n) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << QStringLiteral("/Library/Fonts/Velmora%1.otf").arg(i);
    return out;
}

QList<int> values(const QSignalSpy& spy) {
    QList<int> out;
    for (const auto& args : spy) out << args.at(0).toInt();
    return out;
}

}  // namespace

class WizardRevision : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { apptest::quietPlatformWarnings(); }

    // The product's words for every step, in Japanese byte for byte: the font, then the step
    // with the file it is about.
    void everyStepIsWordedAsTheProductWordsIt() {
        apptest::Wizard w;  // installs the desktop's language, Japanese here
        const QString font = QStringLiteral("/f/a.otf"), file = QStringLiteral("a.pa");
        const std::pair<int, const char*> steps[] = {
            {fr::step::kOpenFont, jatext::kOpening},      {fr::step::kReadFont, jatext::kReading},
            {fr::step::kTablesRead, jatext::kTagsRead},   {fr::step::kOpenPatch, jatext::kOpening},
            {fr::step::kPatchLoaded, jatext::kReading},   {fr::step::kSerialNumber, jatext::kSerialNumber},
            {fr::step::kChecksum, jatext::kChecksum},     {fr::step::kWriteImage, jatext::kWriting},
            {fr::step::kCopyIntoPlace, jatext::kCopying},
        };
        for (const auto& [step, words] : steps) {
            const wizard::ProgressLines lines = wizard::progressLines(step, font, file);
            QCOMPARE(lines.line1, QString::fromUtf8(jatext::kRevising).replace(QLatin1String("%@"), font));
            QCOMPARE(lines.line2, QString::fromUtf8(words).replace(QLatin1String("%@"), file));
        }
    }

    void progressPointsAsShown_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("font");
        QTest::addColumn<QList<int>>("overall");
        QTest::newRow("one font") << 1 << 0 << kStepList;
        QTest::newRow("last of three") << 3 << 2 << QList<int>{69, 72, 76, 79, 84, 87, 91, 96, 99};
        QTest::newRow("first of seven") << 7 << 0 << QList<int>{1, 2, 4, 5, 7, 9, 10, 12, 14};
        QTest::newRow("second of seven") << 7 << 1 << QList<int>{15, 16, 18, 19, 21, 23, 24, 26, 28};
    }
    void progressPointsAsShown() {
        QFETCH(int, count);
        QFETCH(int, font);
        QFETCH(QList<int>, overall);
        RevisionWizard w(fonts(count));
        QSignalSpy bar1(w.ctrl.r_progressBar1, &QProgressBar::valueChanged);
        QSignalSpy bar2(w.ctrl.r_progressBar2, &QProgressBar::valueChanged);
        w.enter();
        QVERIFY(w.ctrl.r_progressWindow->isVisible());
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());

        // The last font's bar stops below 100 for three fonts; the full texts and bars are
        // set only once the window has gone.
        QCOMPARE(values(bar1).mid(9 * font, 9), overall);
        QCOMPARE(values(bar2).mid(0, 9), kStepList);
        QCOMPARE(w.log->percent1AtHide, QStringLiteral("%1 %").arg(fr::overallPercent(100, count, count - 1)));
        QCOMPARE(w.log->bar1AtHide, fr::overallPercent(100, count, count - 1));
        QCOMPARE(w.ctrl.r_percent1->text(), QStringLiteral("100 %"));
        QCOMPARE(w.ctrl.r_percent2->text(), QStringLiteral("100 %"));
        QCOMPARE(w.ctrl.r_progressBar1->value(), 100);
        QCOMPARE(w.ctrl.r_progressBar2->value(), 100);
        QCOMPARE(w.ctrl.r_endMessage->text(), QString::fromUtf8(jatext::kRevisionSucceeded));
        QVERIFY(!w.ctrl.r_progressWindow->isVisible());
        QCOMPARE(w.revisedPaths(), fonts(count));
        // 0.1 s after every font, 0.5 s at the end.
        std::vector<int> pauses(static_cast<std::size_t>(count), 100);
        pauses.push_back(500);
        QTRY_VERIFY(w.tp.pauses.taken() == pauses);
        QCOMPARE(w.terminated.load(), 0);
    }

    void cancel_data() {
        QTest::addColumn<CancelBy>("way");
        QTest::newRow("button") << CancelBy::Button;
        QTest::newRow("title bar") << CancelBy::TitleBar;
        QTest::newRow("Escape") << CancelBy::Escape;
    }
    // A stop after the first of three fonts: the message lists the fonts revised before it.
    void aStopListsTheFontsRevisedBeforeIt() {
        RevisionWizard w(fonts(3));
        w.pressCancelAtStep = fr::step::kPatchLoaded;
        w.cancelFont = 1;
        w.log->yes();
        w.log->ok();
        w.enter();
        QTRY_COMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->told,
                 QStringList{QString::fromUtf8(jatext::kRevisionStopped) +
                             QStringLiteral(u"\n\n中止する前に、次のフォントを改訂しました:\n") + fonts(1).first()});
    }

    void cancelYesStopsTheRun_data() { cancel_data(); }
    void cancelYesStopsTheRun() {
        QFETCH(CancelBy, way);
        RevisionWizard w(fonts(2));
        w.pressCancelAtStep = fr::step::kPatchLoaded;
        w.cancelBy = way;
        w.log->yes();
        w.log->ok();
        w.enter();
        QTRY_COMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(jatext::kCancelRevision)});
        QCOMPARE(w.log->told, QStringList{QString::fromUtf8(jatext::kRevisionStopped)});
        // The question over the progress window; the message once that has gone.
        QCOMPARE(w.log->over, (QStringList{QStringLiteral("ProgressWindow"), QString()}));
        // The point at which the user answered is the one left on screen.
        QCOMPARE(w.ctrl.r_progressMessage2->text(),
                 QString::fromUtf8(jatext::kReading).replace(QLatin1String("%@"), QStringLiteral("step 55")));
        QCOMPARE(w.ctrl.r_percent2->text(), QStringLiteral("%1 %").arg(fr::step::kPatchLoaded));
        QCOMPARE(w.revisedPaths(), fonts(1));
        QVERIFY(!w.ctrl.r_progressWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_endWindow), 0);
    }

    void cancelNoGoesOn_data() { cancel_data(); }
    void cancelNoGoesOn() {
        QFETCH(CancelBy, way);
        RevisionWizard w(fonts(2));
        w.pressCancelAtStep = fr::step::kPatchLoaded;
        w.cancelBy = way;
        w.log->no();
        QSignalSpy bar2(w.ctrl.r_progressBar2, &QProgressBar::valueChanged);
        w.enter();
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());
        QCOMPARE(w.log->asked.size(), 1);
        QCOMPARE(w.ctrl.isbUpdateAbort(), 0);
        QVERIFY(values(bar2).mid(0, 9) == kStepList);
        QCOMPARE(w.revisedPaths(), fonts(2));
        QCOMPARE(w.log->timesShown(w.ctrl.r_progressWindow), 1);
    }

    void messageForEachResultCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString path = QStringLiteral(u"/Library/Fonts/Velmora角ゴ StdN W9.otf");
        const QString name = QStringLiteral(u"Velmora角ゴ StdN W9.otf");
        const QString stopped = QString::fromUtf8(jatext::kRevisionStopped);
        const QString newFile = QString::fromUtf8(jatext::kNewFileFailed).replace("%@", name);
        namespace result = fr::result;
        // Codes no stage returns are named by their numbers.
        QTest::newRow("1") << 1 << stopped;
        QTest::newRow("cancelled") << int(result::kCancelled) << stopped;
        QTest::newRow("13") << 13 << stopped;
        QTest::newRow("-1") << -1 << stopped;
        QTest::newRow("font unusable") << int(result::kFontUnusable)
                                       << QString::fromUtf8(jatext::kSourceReadFailed).replace("%@", path);
        QTest::newRow("3") << int(result::kNewFileFailedAlso3) << newFile;
        QTest::newRow("new file failed") << int(result::kNewFileFailed) << newFile;
        QTest::newRow("temporary file not removable") << int(result::kTempNotRemovable) << newFile;
        QTest::newRow("patch load failed")
            << int(result::kPatchLoadFailed) << name + QString::fromUtf8(jatext::kPatchReadFailed);
        QTest::newRow("not replaceable") << int(result::kNotReplaceable)
                                         << QString::fromUtf8(jatext::kNotReplaceable).replace("%@", path);
    }
    void messageForEachResultCode() {
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString path = QStringLiteral(u"/Library/Fonts/Velmora角ゴ StdN W9.otf");
        RevisionWizard w({path, QStringLiteral("/Library/Fonts/Second.otf")});
        w.code = code;
        w.log->ok();
        w.enter();
        QTRY_COMPARE(w.terminated.load(), 1);
        QCOMPARE(w.log->told, QStringList{message});
        // The run stops at the first failing font; the second is never attempted.
        QCOMPARE(w.revisedPaths(), QStringList{path});
        QVERIFY(!w.ctrl.r_progressWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_endWindow), 0);
    }

    void enterWithoutTargetsStaysInTheFontList() {
        RevisionWizard w({});
        w.ctrl.r_fontListWindow->show();
        w.log->yes();
        w.enter();
        QCOMPARE(w.log->asked, QStringList{QString::fromUtf8(jatext::kNoTargetToRevise)});
        QCOMPARE(w.log->over, QStringList{QStringLiteral("FontListWindow")});
        QVERIFY(w.ctrl.r_fontListWindow->isVisible());
        QCOMPARE(w.log->timesShown(w.ctrl.r_progressWindow), 0);
        QCOMPARE(w.terminated.load(), 0);
    }

    void sameFontThroughALinkIsRevisedOnce() {
        RevisionWizard w({QStringLiteral("/Fonts/A.otf"), QStringLiteral("/Fonts/Link.otf"),
                          QStringLiteral("/Fonts/B.otf"), QStringLiteral("/Fonts/Missing.otf")});
        w.tp.writeFile(QStringLiteral("/Fonts/A.otf"), {1, 2, 3, 4});
        w.tp.writeFile(QStringLiteral("/Fonts/B.otf"), {1, 2, 3, 4});
        w.tp.makeLink(QStringLiteral("/Fonts/Link.otf"), QStringLiteral("A.otf"));
        w.enter();
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());
        QCOMPARE(w.revisedPaths(), (QStringList{QStringLiteral("/Fonts/A.otf"), QStringLiteral("/Fonts/B.otf"),
                                                QStringLiteral("/Fonts/Missing.otf")}));
    }

    void closingTheProgramStopsTheRunningRevision() {
        RevisionWizard w(fonts(2));
        std::atomic<bool> holding{false};
        std::atomic<bool> stopped{false};
        w.other = [&](const fr::TargetEntry&, fr::RevisionProgressProc proc, void* context, std::int32_t n,
                      std::int32_t i) {
            // Report in the middle of the font until a report answers stop: the program is closing.
            holding = true;
            while (!proc(fr::overallPercent(40, n, i), 40, QString(), QString(), context))
                QThread::yieldCurrentThread();
            stopped = true;
            return fr::result::kCancelled;
        };
        w.enter();
        QTRY_VERIFY(holding);
        QVERIFY(!stopped);
        w.log.reset();
        w.ctrlPtr.reset();  // joins the worker
        QVERIFY(stopped);
        QCOMPARE(w.terminated.load(), 0);
        QVERIFY(w.tp.restart.sent().empty());
    }

    void endWindowCancelSendsNothing_data() { cancel_data(); }
    void endWindowCancelSendsNothing() {
        QFETCH(CancelBy, way);
        RevisionWizard w(fonts(1));
        w.enter();
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());
        apptest::cancel(w.ctrl.r_endWindow, way);
        QVERIFY(w.terminated.load() > 0);
        QCOMPARE(w.terminated.load(), 1);
        QVERIFY(w.tp.restart.sent().empty());
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
    }

    // The restart button, or Enter where the focus is when the window comes up: asked of the
    // desktop session's manager, which lets every program save its work; without one, logind
    // only on the user's word, No the default answer.
    void restartButtonAsksTheSessionFirst_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("session");
        QTest::addColumn<QString>("confirm");  // "", or how the confirmation is answered
        QTest::addColumn<int>("sent");         // requests to logind
        QTest::newRow("a session manager: asked") << 0 << true << QString() << 0;
        QTest::newRow("a session manager, by Enter") << int(Qt::Key_Return) << true << QString() << 0;
        QTest::newRow("none: the confirmation's default is No") << 0 << false << QStringLiteral("Enter") << 0;
        QTest::newRow("none: the user says yes") << 0 << false << QStringLiteral("yes") << 1;
    }
    void restartButtonAsksTheSessionFirst() {
        QFETCH(int, key);
        QFETCH(bool, session);
        QFETCH(QString, confirm);
        QFETCH(int, sent);
        RevisionWizard w(fonts(1));
        w.tp.restart.sessionAnswer = session ? platform::SessionManager::Gnome : platform::SessionManager::None;
        w.tp.restart.answer = -600;  // whatever logind says, the wizard ends
        if (confirm == QLatin1String("yes")) w.log->yes();
        if (confirm == QLatin1String("Enter"))
            w.log->then([&w] { apptest::pressKey(w.ctrl.r_AskMessageWindow, Qt::Key_Return); });
        w.enter();
        QTRY_VERIFY(w.ctrl.r_endWindow->isVisible());
        auto* restart = w.ctrl.r_endWindow->findChild<QPushButton*>(QStringLiteral("enterButton"));
        QCOMPARE(restart->text(), QStringLiteral(u"再起動"));
        if (key)
            apptest::pressKey(w.ctrl.r_endWindow, Qt::Key(key));
        else
            restart->click();
        QCOMPARE(w.tp.restart.sessionAsked(), 1);
        QCOMPARE(w.log->asked.size(), confirm.isEmpty() ? 0 : 1);
        const auto requests = w.tp.restart.sent();
        QCOMPARE(int(requests.size()), sent);
        for (const auto& request : requests) QCOMPARE(request.eventId, 0x72657374u);
        QCOMPARE(w.terminated.load(), 1);
        QCOMPARE(w.ctrl.numberOfRowsInTableView(w.ctrl.r_updateList), 0);
    }
};

QTEST_MAIN(WizardRevision)
#include "wizard_revision_test.moc"
