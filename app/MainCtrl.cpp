// The controller's life cycle, the start-up checks, the message operations and modal runs,
// and ending the application.

#include "app/MainCtrl.h"

#include "app/FontManagerCheck.h"
#include "app/Messages.h"
#include "app/WizardTableModel.h"
#include "discovery/SourceLookups.h"
#include "patch/OpenTypeManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
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

// A window's default button is marked so in its description and is no auto-default button: it
// stays the default wherever the focus goes. Outside a QDialog an auto-default button takes
// the mark only while it has the focus, and answers Enter itself then.
QPushButton* defaultButton(const QWidget& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->isDefault() && !button->autoDefault()) return button;
    return nullptr;
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
    if (QPushButton* button = defaultButton(*window)) button->setFocus(Qt::ActiveWindowFocusReason);
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

// The keys a window answers once the widget with the focus has let them by: Enter and Return
// press its default button, Escape closes it as its title bar does. A focused auto-default
// button answers Enter itself.
bool answerKey(QWidget& window, const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        QPushButton* button = defaultButton(window);
        if (!button || !button->isVisible() || !button->isEnabled()) return false;
        button->click();
        return true;
    }
    if (key.matches(QKeySequence::Cancel)) {
        window.close();
        return true;
    }
    return false;
}

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
        alertErrorMessage(kFontManagerRunning);
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
                                             void* context, std::int32_t count, std::int32_t index) const {
    if (!m_fontCheckCtrl) return fr::result::kFontUnusable;
    const fr::DiscoverySourceLookup sources(*m_fontCheckCtrl);
    fr::OpenTypeManager engine(*m_services.files, *m_services.pauses);
    return engine.updateOpenTypeDiff(target, proc, context, count, index, sources);
}

void MainCtrl::setTargets(std::vector<fr::TargetEntryPtr> targets) { m_targets = std::move(targets); }

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
    if (!window || m_ended) return kModalNotRun;
    QWidget* owner = windowOnScreen();
    const DialogOf dialog(*window, owner != window ? owner : nullptr);
    window->setWindowModality(Qt::ApplicationModal);
    presentCentred(window);
    QEventLoop loop;
    m_modalLoops.push_back(&loop);
    const int code = loop.exec(QEventLoop::DialogExec);
    m_modalLoops.pop_back();
    return code;
}

void MainCtrl::stopModalWithCode(int code) {
    if (!m_modalLoops.empty()) m_modalLoops.back()->exit(code);
}

void MainCtrl::askMessageOK() { stopModalWithCode(kModalYes); }
void MainCtrl::askMessageCancel() { stopModalWithCode(kModalNo); }
void MainCtrl::messageOK() { stopModalWithCode(kModalOK); }

bool MainCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && answerKey(*window, *static_cast<QKeyEvent*>(event))) return true;
        return QObject::eventFilter(watched, event);
    }
    if (event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
    if (!m_modalLoops.empty() && (watched == r_AskMessageWindow || watched == r_MessageWindow)) {
        event->ignore();
        stopModalWithCode(watched == r_AskMessageWindow ? kModalNo : kModalOK);
        return true;
    }
    // A wizard window closed from its title bar does what its Cancel button does, with the
    // same confirmation; the window stays until that says otherwise. The program itself
    // only ever hides these windows.
    void (MainCtrl::*cancel)() = nullptr;
    if (watched == r_startWindow)
        cancel = &MainCtrl::startWindowCancelButton;
    else if (watched == r_searchWindow)
        cancel = &MainCtrl::searchWindowCancelButton;
    else if (watched == r_fontListWindow)
        cancel = &MainCtrl::fontListWindowCancelButton;
    else if (watched == r_progressWindow)
        cancel = &MainCtrl::progressWindowCancelButton;
    else if (watched == r_endWindow)
        cancel = &MainCtrl::endWindowCancelButton;
    if (!cancel || m_ended) return QObject::eventFilter(watched, event);
    event->ignore();
    (this->*cancel)();
    return true;
}

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

void MainCtrl::alertErrorMessage(const char* utf8) { askAlertMessage(QString::fromUtf8(utf8)); }

void MainCtrl::alertErrorMessage2(const QString& text) {
    askAlertMessage(text);
    terminate();
}

void MainCtrl::alertErrorMessage3(const QString& text) {
    callOnMain([&] {
        if (m_ended || !r_MessageWindow) return;
        r_MessageText->setText(text);
        runModalForWindow(r_MessageWindow);
        r_MessageWindow->hide();
    });
    terminate();
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
    if (askAlertMessage(search ? kCancelSearch : kCancelRevision)) return true;
    flag.store(0);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Start window

void MainCtrl::startWindowCancelButton() {
    if (!askAlertMessage(kCancelRevision)) return;
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
