// The revision phase: from the font list window's Enter button to the end window, with the
// progress callback, the judgement of the result codes and the end window's buttons.

#include "app/MainCtrl.h"

#include "app/ProgressLines.h"
#include "app/ResultMessages.h"
#include "app/WizardText.h"
#include "patch/RevisionRun.h"

#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QWidget>

namespace wizard {

namespace {
constexpr int kBetweenFontsPauseMs = 100;
constexpr int kRevisionEndPauseMs = 500;
}  // namespace

void MainCtrl::fontListWindowEnterButton() {
    if (m_updateThread || m_ended) return;
    if (targets().empty()) {
        alertErrorMessage(WizardText::noTargetToRevise());
        return;
    }
    hideWindow(r_fontListWindow);
    showWindow(r_progressWindow);
    startWorker(m_updateThread, &MainCtrl::updateFontThread);
}

void MainCtrl::updateFontThread() {
    // Read once: the list doesn't change during the run.
    const std::vector<fr::TargetEntryPtr> list = targets();
    fr::RevisionRunHooks hooks;
    hooks.stopBeforeFont = [this] { return m_ended.load(); };
    hooks.betweenFonts = [this] { m_services.pauses->pause(kBetweenFontsPauseMs); };
    fr::RevisionRunResult run =
        fr::reviseTargets(*m_services.files, list, m_reviseFont, MainCtrlRevisionProgress, this, hooks);
    if (m_ended) return;
    // A file of ours kept beside a font, as that font's only good copy maybe, is no success.
    const fr::KeptCopy* kept =
        m_fontCheckCtrl && !m_fontCheckCtrl->keptCopies().empty() ? &m_fontCheckCtrl->keptCopies().front() : nullptr;
    QString failed = run.last ? run.last->fullpath : QString();
    if (run.code == fr::result::kRevised && kept) {
        run.code = fr::result::kTempNotRemovable;
        failed = kept->installed;
    }

    hideWindow(r_progressWindow);
    if (run.code == fr::result::kRevised) {
        const QString full = percentText(100);
        setText(r_percent1, full);
        setBar(r_progressBar1, 100);
        setText(r_percent2, full);
        setBar(r_progressBar2, 100);
        setText(r_endMessage, WizardText::revisionSucceeded());
        showWindow(r_endWindow);
    } else {
        alertErrorMessage3(resultMessage(run.code, failed));
    }
    m_services.pauses->pause(kRevisionEndPauseMs);
}

void MainCtrl::updateProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2) {
    setText(r_progressMessage1, line1);
    setText(r_percent1, percentText(overall));
    setBar(r_progressBar1, overall);
    setText(r_progressMessage2, line2);
    setText(r_percent2, percentText(step));
    setBar(r_progressBar2, step);
}

void MainCtrl::progressWindowCancelButton() { m_bUpdateAbort = 1; }

void MainCtrl::endWindowEnterButton() {
    releaseData();
    SendAppleEventToSystemProcess(platform::kAERestart);  // a failed request changes nothing here
    terminate();
}

void MainCtrl::endWindowCancelButton() {
    releaseData();
    terminate();
}

bool MainCtrlRevisionProgress(std::int32_t overall, std::int32_t step, const QString& fontPath,
                              const QString& fileName, void* context) {
    auto* ctrl = static_cast<MainCtrl*>(context);
    if (!ctrl) return false;
    const bool stop = ctrl->userStopsAtReport(MainCtrl::Worker::Revision);
    const ProgressLines lines = progressLines(step, fontPath, fileName);
    ctrl->updateProgress(overall, step, lines.line1, lines.line2);
    return stop;
}

}  // namespace wizard
