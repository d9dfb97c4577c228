// Every window of the wizard with the texts the user meets in it: each text fits its window
// and nothing is drawn outside the screen. With FR_SCREENSHOT_DIR set, each window is also
// saved there as a PNG (docs/ holds such a set).

#include "WizardTestSupport.h"

#include "JapaneseTexts.h"
#include "app/WizardTableModel.h"

#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTableView>
#include <QTest>

using apptest::Wizard;

namespace {

// Every label shows its whole text; labels for paths are clipped by design.
bool fits(const QWidget* window) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored) continue;
        if (label->wordWrap()) {
            if (label->height() < label->heightForWidth(label->width())) return false;
            continue;
        }
        const QSize need = label->sizeHint();
        if (label->width() < need.width() || label->height() < need.height()) return false;
    }
    return window->screen()->availableGeometry().contains(window->frameGeometry());
}

void showAndCheck(QWidget* window, const QString& name) {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY2(fits(window), qPrintable(name));
    const QString dir = qEnvironmentVariable("FR_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QVERIFY(window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
    window->hide();
}

}  // namespace

class WindowScreenshots : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { apptest::quietPlatformWarnings(); }

    void everyWindowShowsItsTexts() {
        Wizard w;
        const QString font = QStringLiteral(u"/Library/Fonts/Velmora角ゴ StdN W9.otf");
        const std::vector<fr::TargetEntryPtr> targets{
            std::make_shared<fr::TargetEntry>(fr::TargetEntry{font, 0x80000}),
            std::make_shared<fr::TargetEntry>(
                fr::TargetEntry{QStringLiteral(u"/Users/a/Library/Fonts/Kestruneゴシック StdN W3.otf"), 0x80000})};
        w.ctrl.setTargets(targets);
        w.ctrl.awakeFromNib();
        showAndCheck(w.ctrl.r_startWindow, QStringLiteral("start-window"));

        w.ctrl.waitFontString(QStringLiteral("/Users/a/Library/Fonts"));
        showAndCheck(w.ctrl.r_searchWindow, QStringLiteral("search-window"));

        static_cast<wizard::WizardTableModel*>(w.ctrl.r_searchFontList->model())->reloadData();
        w.ctrl.r_trustNote->show();  // as for patches no signature proves
        showAndCheck(w.ctrl.r_fontListWindow, QStringLiteral("font-list-window"));

        wizard::MainCtrlRevisionProgress(fr::overallPercent(65, 2, 0), 65, font, QStringLiteral(u"Velmora角ゴ StdN W9.otf"),
                                         &w.ctrl);
        showAndCheck(w.ctrl.r_progressWindow, QStringLiteral("progress-window"));

        w.ctrl.r_endMessage->setText(QString::fromUtf8(jatext::kRevisionSucceeded));
        showAndCheck(w.ctrl.r_endWindow, QStringLiteral("end-window"));

        w.ctrl.r_AskMessageText->setText(QString::fromUtf8(jatext::kFontManagerRunning));
        showAndCheck(w.ctrl.r_AskMessageWindow, QStringLiteral("confirmation-window"));

        w.ctrl.r_MessageText->setText(QString::fromUtf8(jatext::kNotReplaceable).replace(QLatin1String("%@"), font));
        showAndCheck(w.ctrl.r_MessageWindow, QStringLiteral("message-window"));
    }
};

QTEST_MAIN(WindowScreenshots)
#include "window_screenshots_test.moc"
