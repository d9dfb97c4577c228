#pragma once
// The wizard's controller: owns the window set, decides at start whether the program may run,
// shows each window in turn, runs the confirmation and message windows, starts the search and
// revision workers and ends the application.
//
// Threads: everything here runs on the main thread except the two worker bodies
// (searchFontThread, updateFontThread) and the two callbacks they hand to the engines. A worker
// never touches a widget: waitFontString, updateProgress and the window switches are queued to
// the main thread; askAlertMessage and the message windows block the worker until answered.

#include "app/ElevatedRevision.h"
#include "app/WizardTableModel.h"
#include "discovery/FontCheckCtrl.h"
#include "patch/FontEntries.h"
#include "patch/RevisionCodes.h"
#include "patch/RevisionRun.h"
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QThread;
class QWidget;

namespace wizard {

class MainCtrl : public QObject, public TableDataSource {
    Q_OBJECT

public:
    // The revision of one font: target, progress callback, context, number of targets, index.
    using FontReviser = fr::FontReviser;

    // Modal run codes.
    static constexpr int kModalYes = 1;
    static constexpr int kModalNo = 2;
    static constexpr int kModalOK = 0;
    static constexpr int kModalNotRun = -1;  // the application has ended; nothing was shown

    // Where the controller's work ends: the application's end and the revision of one font.
    // Each left empty is the program's own: leaving the main event loop, and a fresh engine
    // on the services with the patch font discovery finds.
    struct Ends {
        std::function<void()> terminator;
        FontReviser reviser;
    };

    // Creates the empty family list, clears both cancel flags and applies the system version
    // test. `services` outlive the controller.
    explicit MainCtrl(const platform::Platform& services, Ends ends = {});
    // Stops and joins a running worker, then releases the data.
    ~MainCtrl() override;
    MainCtrl(const MainCtrl&) = delete;
    MainCtrl& operator=(const MainCtrl&) = delete;

    // --- life cycle (main thread) ---
    // The key the manifest of "host" must be signed with (empty: no key is trusted); the one
    // built in unless set before the search.
    void setTrustedKey(QString key) { m_trustedKey = std::move(key); }
    // How the fonts this user may not replace are revised with an administrator's rights.
    void setElevation(Elevation elevation) { m_elevation = std::move(elevation); }
    // Creates the seven windows, connects the references below and binds every button.
    void loadWindows();
    // Fills the family list, refuses to go on while the font manager runs, shows the start window.
    void awakeFromNib();
    // Drops the family list and font discovery; safe to call more than once.
    void releaseData();
    // Drops font discovery, made when Next is pressed with the patch sources of "host".
    void releaseFontCheckCtrl();

    // --- ending the application ---
    // Asks the application to end (through the terminator) and shows no further window.
    void terminate();

    // --- messages (any thread; modal runs happen on the main thread) ---
    bool askAlertMessage(const char* utf8);
    bool askAlertMessage(const QString& text);
    void alertErrorMessage(const char* utf8);
    void alertErrorMessage(const QString& text);
    void alertErrorMessage2(const QString& text);
    void alertErrorMessage3(const QString& text);
    void alertStopErrorMessage(const char* utf8);
    void alertStopNSStringErrorMessage(const QString& text);
    // The message window, the application going on after it.
    void showMessage(const QString& text);

    // --- modal runs (main thread) ---
    // Shows `window` as a modal dialog of the wizard window on screen, centred over it, and
    // returns the code stopModalWithCode ends the run with.
    int runModalForWindow(QWidget* window);
    void stopModalWithCode(int code);
    void askMessageOK();
    void askMessageCancel();
    void messageOK();

    // --- start window ---
    void startWindowNextButton();
    void startWindowCancelButton();

    // --- search phase ---
    void searchFontThread();                   // search worker
    void waitFontString(const QString& text);  // any thread
    void searchWindowCancelButton();
    signed char isbWaitAbort() const { return m_bWaitAbort.load(); }
    void SetbWaitAbort(signed char flag) { m_bWaitAbort.store(flag); }

    // --- the two tables' data source (main thread) ---
    std::int32_t numberOfRowsInTableView(const QTableView* table) const override;
    QVariant tableView(const QTableView* table, const QString& columnIdentifier, std::int32_t row) const override;
    // A font this user may not replace: the administrator's authentication it needs.
    QString rowNote(const QTableView* table, std::int32_t row) const override;
    void fontListWindowCancelButton();

    // --- revision phase ---
    void fontListWindowEnterButton();
    void updateFontThread();  // revision worker
    void updateProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2);
    void progressWindowCancelButton();
    signed char isbUpdateAbort() const { return m_bUpdateAbort.load(); }
    void SetbUpdateAbort(signed char flag) { m_bUpdateAbort.store(flag); }
    void endWindowEnterButton();
    void endWindowCancelButton();

    // --- a worker's report (worker thread) ---
    enum class Worker { Search, Revision };
    // After a cancel press, asks the worker's confirmation and waits for the answer; "no"
    // clears the flag. True means stop: the user said yes, or the program is ending.
    bool userStopsAtReport(Worker worker);

    // --- restart request ---
    std::int32_t SendAppleEventToSystemProcess(std::uint32_t eventId);

    // The targets the font list shows and the revision takes, as the search's end hands them
    // over, and which of them this user may not replace (main thread).
    void setTargets(std::vector<fr::TargetEntryPtr> targets, std::vector<bool> needsAdministrator = {});

    // Interface references, connected by loadWindows; the controller never frees them itself.
    QWidget* r_startWindow = nullptr;
    QTableView* r_updateList = nullptr;
    QWidget* r_searchWindow = nullptr;
    QLabel* r_waitMessage = nullptr;
    QWidget* r_fontListWindow = nullptr;
    QTableView* r_searchFontList = nullptr;
    QWidget* r_progressWindow = nullptr;
    QLabel* r_progressMessage1 = nullptr;
    QProgressBar* r_progressBar1 = nullptr;
    QLabel* r_percent1 = nullptr;
    QLabel* r_progressMessage2 = nullptr;
    QProgressBar* r_progressBar2 = nullptr;
    QLabel* r_percent2 = nullptr;
    QWidget* r_endWindow = nullptr;
    QLabel* r_endMessage = nullptr;
    QWidget* r_AskMessageWindow = nullptr;
    QLabel* r_AskMessageText = nullptr;
    QPushButton* r_AskOKButton = nullptr;
    QPushButton* r_AskCancelButton = nullptr;
    QWidget* r_MessageWindow = nullptr;
    QLabel* r_MessageText = nullptr;
    QPushButton* r_OKButton = nullptr;
    QLabel* r_trustNote = nullptr;  // in the font list window: shown when the patches are not verified
    QLabel* r_endNote = nullptr;    // in the end window, under the message: the new fonts already in use

private:
    // Main thread: runs `f` at once; elsewhere: queues it to the main thread.
    void post(std::function<void()> f);
    // Runs `f` on the main thread and waits for it.
    void callOnMain(const std::function<void()>& f);
    bool onMainThread() const;

    // Centres the window on its screen, shows it, brings it to the front and makes it key.
    void showWindow(QWidget* window);
    // The wizard window on screen, which a confirmation or message belongs to; none between
    // two windows.
    QWidget* windowOnScreen() const;
    void hideWindow(QWidget* window);
    void setText(QLabel* field, const QString& text);
    void setBar(QProgressBar* bar, std::int32_t value);

    const std::vector<fr::TargetEntryPtr>& targets() const { return m_targets; }
    // Why "host" gives no patch source, in a line of the no-source message.
    QString noSourceReason() const;
    // The run's end: the end window, or the message of what stopped it.
    // `notAuthorized`: the fonts the helper did not revise, since it did not start (`why`).
    void endRevision(fr::RevisionRunResult run, const QStringList& revised, const QStringList& notAuthorized,
                     const fr::Reason& why);
    // The caches of the folders of the fonts revised here (the helper refreshes its own).
    void refreshFontCaches(const QStringList& revised);
    std::int32_t reviseWithFreshEngine(const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                       std::int32_t count, std::int32_t index);
    void startWorker(std::unique_ptr<QThread>& slot, void (MainCtrl::*body)());
    void joinWorker(std::unique_ptr<QThread>& slot);

    std::optional<QStringList> m_UpdateFontArray;
    std::atomic<signed char> m_bWaitAbort{0};
    std::atomic<signed char> m_bUpdateAbort{0};
    std::atomic<bool> m_ended{false};

    platform::Platform m_services;
    QString m_trustedKey = fr::trustedManifestKey();
    std::function<void()> m_terminator;
    FontReviser m_reviseFont;
    std::unique_ptr<fr::FontCheckCtrl> m_fontCheckCtrl;
    // The search's result as the windows see it: a copy taken on the main thread once the
    // search has ended, never the list the search worker fills.
    std::vector<fr::TargetEntryPtr> m_targets;
    std::vector<bool> m_needsAdministrator;  // beside m_targets
    Elevation m_elevation;
    // Held from the search, which may clear what ended runs left, to the program's end.
    std::unique_ptr<platform::RunLock> m_runLock;
    fr::Reason m_lastReason;  // of the font the revision worker revised last

    std::vector<QDialog*> m_modalDialogs;  // the modal runs under way, the innermost last
    std::unique_ptr<WizardTableModel> m_updateListModel;
    std::unique_ptr<WizardTableModel> m_searchFontListModel;
    std::vector<std::unique_ptr<QWidget>> m_windows;
    std::unique_ptr<QThread> m_searchThread;
    std::unique_ptr<QThread> m_updateThread;
};

// The search callback: shows the folder and, after a cancel press, asks whether to stop.
bool MainCtrlSearchStatus(const QString& path, void* context);
// The progress callback: shows the progress point, worded from the font and the file the
// engine reports, and, after a cancel press, asks whether to stop.
bool MainCtrlRevisionProgress(std::int32_t overall, std::int32_t step, const QString& fontPath, const QString& fileName,
                              void* context);

}  // namespace wizard
