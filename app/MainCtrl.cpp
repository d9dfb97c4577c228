// The controller's life cycle, the start-up checks, the message operations and modal runs,
// and ending the application.

#include "app/MainCtrl.h"

#include "app/FontManagerCheck.h"
#include "app/WizardTableModel.h"
#include "app/WizardText.h"
#include "app/WizardWindow.h"
#include "discovery/SourceLookups.h"
#include "patch/OpenTypeManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWidget>

namespace wizard {

namespace {
void leaveMainLoop() {
    // Queued, so that a request made before the main loop runs still ends it.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

// Centres the window over the window it belongs to, or on its screen when it belongs to none
// on screen; shows it, brings it to the front and makes it key, with the focus on its default
// button, so that Enter answers what that button does however the window was left last time.
void presentCentred(QWidget* window) {
    const QWidget* owner = window->parentWidget();
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    QRect frame = window->frameGeometry();
    if (owner && owner->isVisible())
        frame.moveCenter(owner->frameGeometry().center());
    else if (screen)
        frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
    window->show();
    window->raise();
    window->activateWindow();
    if (auto* wizardWindow = dynamic_cast<WizardWindow*>(window); wizardWindow && wizardWindow->declaredDefault) {
        wizardWindow->declaredDefault->setDefault(true);
        wizardWindow->declaredDefault->setFocus(Qt::ActiveWindowFocusReason);
    }
}

// Makes a confirmation or message window a dialog of the window it belongs to for as long as
// it runs (of none when no window is on screen), then a window of its own again: the
// controller alone owns it, whichever window goes first.
class DialogOf {
public:
    DialogOf(QWidget& dialog, QWidget* owner) : m_dialog(dialog) { m_dialog.setParent(owner, m_dialog.windowFlags()); }
    ~DialogOf() { m_dialog.setParent(nullptr, m_dialog.windowFlags()); }
    DialogOf(const DialogOf&) = delete;
    DialogOf& operator=(const DialogOf&) = delete;

private:
    QWidget& m_dialog;
};

}  // namespace

MainCtrl::MainCtrl(const platform::Platform& services, Ends ends)
    : m_UpdateFontArray(QStringList{}),
      m_services(services),
      m_terminator(ends.terminator ? std::move(ends.terminator) : leaveMainLoop),
      m_reviseFont(ends.reviser ? std::move(ends.reviser)
                                : FontReviser([this](const fr::TargetEntry& target, fr::RevisionProgressProc proc,
                                                     void* context, std::int32_t count, std::int32_t index) {
                                      return reviseWithFreshEngine(target, proc, context, count, index);
                                  })) {
    // The query is not expected to fail; its answer is taken as it comes.
    if (m_services.systemInfo->systemVersion() >= platform::kRelaunchSwitchVersion)
        m_services.systemInfo->disableRelaunchOnLogin();
}

MainCtrl::~MainCtrl() {
    // A worker still running stops at its next report: every callback answers "stop" now.
    m_ended = true;
    joinWorker(m_searchThread);
    joinWorker(m_updateThread);
    releaseData();
}

void MainCtrl::awakeFromNib() {
    if (m_UpdateFontArray) {
        for (const auto& name : kUpdateFontNames) m_UpdateFontArray->append(QString::fromUtf8(name));
    }
    if (m_updateListModel) m_updateListModel->reloadData();

    if (fontManagerRunning(*m_services.processes)) {
        alertErrorMessage(WizardText::fontManagerRunning());
        terminate();
        return;
    }
    showWindow(r_startWindow);
}

void MainCtrl::releaseData() {
    m_UpdateFontArray.reset();
    releaseFontCheckCtrl();
}

void MainCtrl::releaseFontCheckCtrl() {
    m_fontCheckCtrl.reset();
    m_targets.clear();
}

std::int32_t MainCtrl::reviseWithFreshEngine(const fr::TargetEntry& target, fr::RevisionProgressProc proc,
                                             void* context, std::int32_t count, std::int32_t index) {
    if (!m_fontCheckCtrl) return fr::result::kFontUnusable;
    const fr::DiscoverySourceLookup sources(*m_fontCheckCtrl);
    fr::OpenTypeManager engine(*m_services.files, *m_services.pauses);
    const std::int32_t code = engine.updateOpenTypeDiff(target, proc, context, count, index, sources);
    m_lastReason = engine.reason();
    return code;
}

void MainCtrl::setTargets(std::vector<fr::TargetEntryPtr> targets, std::vector<bool> needsAdministrator) {
    m_targets = std::move(targets);
    m_needsAdministrator = std::move(needsAdministrator);
    m_needsAdministrator.resize(m_targets.size(), false);
}

void MainCtrl::terminate() {
    if (m_ended.exchange(true)) return;  // already ending
    post([this] {
        if (m_terminator) m_terminator();
    });
}

// ---------------------------------------------------------------------------------------------
// Reaching the main thread

bool MainCtrl::onMainThread() const { return QThread::currentThread() == thread(); }

void MainCtrl::post(std::function<void()> f) {
    if (onMainThread())
        f();
    else
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void MainCtrl::callOnMain(const std::function<void()>& f) {
    if (onMainThread())
        f();
    else
        QMetaObject::invokeMethod(
            this, [&f] { f(); }, Qt::BlockingQueuedConnection);
}

void MainCtrl::showWindow(QWidget* window) {
    post([this, window] {
        if (!window || m_ended) return;
        presentCentred(window);
    });
}

void MainCtrl::hideWindow(QWidget* window) {
    post([window] {
        if (window) window->hide();
    });
}

void MainCtrl::setText(QLabel* field, const QString& text) {
    post([field, text] {
        if (!field) return;
        field->setText(text);
        field->repaint();
    });
}

void MainCtrl::setBar(QProgressBar* bar, std::int32_t value) {
    post([bar, value] {
        if (!bar) return;
        bar->setValue(value);
        bar->repaint();
    });
}

// ---------------------------------------------------------------------------------------------
// Modal runs

QWidget* MainCtrl::windowOnScreen() const {
    for (QWidget* window : {r_startWindow, r_searchWindow, r_fontListWindow, r_progressWindow, r_endWindow})
        if (window && window->isVisible()) return window;
    return nullptr;
}

int MainCtrl::runModalForWindow(QWidget* window) {
    auto* dialog = qobject_cast<QDialog*>(window);
    if (!dialog || m_ended) return kModalNotRun;
    QWidget* owner = windowOnScreen();
    const DialogOf of(*dialog, owner != window ? owner : nullptr);
    dialog->setWindowModality(Qt::ApplicationModal);
    presentCentred(dialog);
    m_modalDialogs.push_back(dialog);
    const int code = dialog->exec();
    m_modalDialogs.pop_back();
    return code;
}

void MainCtrl::stopModalWithCode(int code) {
    if (!m_modalDialogs.empty()) m_modalDialogs.back()->done(code);
}

void MainCtrl::askMessageOK() { stopModalWithCode(kModalYes); }
void MainCtrl::askMessageCancel() { stopModalWithCode(kModalNo); }
void MainCtrl::messageOK() { stopModalWithCode(kModalOK); }

// ---------------------------------------------------------------------------------------------
// Messages

bool MainCtrl::askAlertMessage(const char* utf8) { return askAlertMessage(QString::fromUtf8(utf8)); }

bool MainCtrl::askAlertMessage(const QString& text) {
    int code = kModalNotRun;
    callOnMain([&] {
        if (m_ended || !r_AskMessageWindow) return;
        r_AskMessageText->setText(text);
        code = runModalForWindow(r_AskMessageWindow);
        r_AskMessageWindow->hide();
    });
    return code == kModalYes;
}

void MainCtrl::alertErrorMessage(const char* utf8) { alertErrorMessage(QString::fromUtf8(utf8)); }
void MainCtrl::alertErrorMessage(const QString& text) { askAlertMessage(text); }

void MainCtrl::alertErrorMessage2(const QString& text) {
    askAlertMessage(text);
    terminate();
}

void MainCtrl::alertErrorMessage3(const QString& text) {
    showMessage(text);
    terminate();
}

void MainCtrl::showMessage(const QString& text) {
    callOnMain([&] {
        if (m_ended || !r_MessageWindow) return;
        r_MessageText->setText(text);
        runModalForWindow(r_MessageWindow);
        r_MessageWindow->hide();
    });
}

void MainCtrl::alertStopErrorMessage(const char* utf8) { alertStopNSStringErrorMessage(QString::fromUtf8(utf8)); }

void MainCtrl::alertStopNSStringErrorMessage(const QString& text) {
    callOnMain([&] {
        if (m_ended) return;
        QMessageBox alert(windowOnScreen());
        alert.setText(text);
        alert.setStandardButtons(QMessageBox::Ok);
        alert.setDefaultButton(QMessageBox::Ok);
        alert.exec();
    });
}

bool MainCtrl::userStopsAtReport(Worker worker) {
    if (m_ended) return true;  // the application is ending: the work stops where it stands
    const bool search = worker == Worker::Search;
    std::atomic<signed char>& flag = search ? m_bWaitAbort : m_bUpdateAbort;
    if (flag.load() == 0) return false;
    if (askAlertMessage(search ? WizardText::cancelSearch() : WizardText::cancelRevision())) return true;
    flag.store(0);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Start window

void MainCtrl::startWindowCancelButton() {
    if (!askAlertMessage(WizardText::cancelRevision())) return;
    hideWindow(r_startWindow);
    releaseData();
    terminate();
}

// ---------------------------------------------------------------------------------------------
// Workers

void MainCtrl::startWorker(std::unique_ptr<QThread>& slot, void (MainCtrl::*body)()) {
    if (slot || m_ended) return;  // one worker of each kind per run
    slot.reset(QThread::create([this, body] { (this->*body)(); }));
    slot->start();
}

void MainCtrl::joinWorker(std::unique_ptr<QThread>& slot) {
    if (!slot) return;
    // The worker may be waiting for the main thread (a question or a window change): keep
    // serving those until it has finished. A nested event loop won't do here, since one
    // started after the application was asked to quit returns at once.
    while (!slot->wait(QDeadlineTimer(20))) QCoreApplication::processEvents(QEventLoop::AllEvents);
    slot.reset();
}

}  // namespace wizard
