// The revision phase: from the font list window's Enter button to the end window, with the
// progress callback, the judgement of the result codes and the end window's buttons.

#include "app/MainCtrl.h"

#include "app/ElevatedRevision.h"
#include "app/ProgressLines.h"
#include "app/ResultMessages.h"
#include "app/WizardText.h"
#include "discovery/SourceLookups.h"
#include "patch/FontProgress.h"
#include "patch/RevisionDriver.h"
#include "patch/RevisionRun.h"
#include "patch/RunHistory.h"

#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <memory>

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
    // Read once: the list doesn't change during the run. The fonts this user may not replace
    // go first, to the helper that an administrator's authentication starts once; then the
    // user's own, revised here.
    const std::vector<fr::TargetEntryPtr> list = targets();
    std::vector<fr::TargetEntryPtr> byAdministrator, own;
    for (std::size_t i = 0; i < list.size(); ++i)
        (i < m_needsAdministrator.size() && m_needsAdministrator[i] ? byAdministrator : own).push_back(list[i]);
    std::unique_ptr<ElevatedRevision> helper;
    QStringList notAuthorized;
    fr::Reason helperWhy;
    if (!byAdministrator.empty()) {
        helper = std::make_unique<ElevatedRevision>(m_elevation, [this] { return m_ended.load(); });
        QStringList paths;
        for (const auto& target : byAdministrator) paths << target->fullpath;
        if (!helper->start(paths, helperWhy)) {
            notAuthorized = paths;
            byAdministrator.clear();
            helper.reset();
        }
    }
    if (m_ended) return;
    std::vector<fr::TargetEntryPtr> order = byAdministrator;
    order.insert(order.end(), own.begin(), own.end());
    const auto helperCount = static_cast<std::ptrdiff_t>(byAdministrator.size());
    // The fonts revised here go to this user's history; the helper keeps its own.
    std::optional<fr::RunRecorder> recorder;
    std::optional<fr::DiscoverySourceLookup> sources;
    if (m_services.state && m_fontCheckCtrl && !own.empty()) {
        sources.emplace(*m_fontCheckCtrl);
        fr::RunRecord record = fr::newRun(QStringLiteral("revise"));
        record.patchSet = m_fontCheckCtrl->patchSet();
        recorder.emplace(*m_services.files, *m_services.state, m_services.journal, std::move(record),
                         fr::kKeptRunsByDefault);
    }
    const fr::FontReviser revise = [&](const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                       std::int32_t count, std::int32_t index) {
        fr::Reason reason;
        if (helper && index < helperCount) return helper->revise(target, proc, context, count, index, reason);
        m_lastReason = {};
        if (recorder)
            recorder->fontStarts(target.fullpath, fr::replacedFile(*m_services.files, *sources, target.fullpath),
                                 fr::revisionText(target.version));
        return m_reviseFont(target, proc, context, count, index);
    };
    QStringList revised;
    fr::RevisionRunHooks hooks;
    hooks.stopBeforeFont = [&] { return m_ended.load() || (helper && helper->cancelled()); };
    hooks.betweenFonts = [this] { m_services.pauses->pause(kBetweenFontsPauseMs); };
    hooks.afterFont = [&](const fr::TargetEntry& target, std::int32_t code, bool skipped) {
        if (recorder) recorder->fontEnds(code, skipped, m_lastReason);  // only a font revised here
        if (code == fr::result::kRevised && !skipped) revised << target.fullpath;
    };
    fr::RevisionRunResult run =
        fr::reviseTargets(*m_services.files, order, revise, MainCtrlRevisionProgress, this, hooks);
    if (run.code == fr::result::kRevised && run.stoppedBeforeFont) run.code = fr::result::kCancelled;
    if (recorder) recorder->finish(run.code);
    helper.reset();  // it has refreshed the caches of its fonts' folders itself
    if (m_ended) return;
    QStringList revisedHere;
    for (const QString& path : revised)
        if (std::none_of(byAdministrator.begin(), byAdministrator.end(),
                         [&](const auto& t) { return t->fullpath == path; }))
            revisedHere << path;
    refreshFontCaches(revisedHere);
    endRevision(run, revised, notAuthorized, helperWhy);
    m_services.pauses->pause(kRevisionEndPauseMs);
}

void MainCtrl::refreshFontCaches(const QStringList& revised) {
    if (!m_fontCheckCtrl || revised.isEmpty()) return;
    const fr::DiscoverySourceLookup sources(*m_fontCheckCtrl);
    QStringList folders;
    for (const QString& path : revised) {
        const QString file = fr::replacedFile(*m_services.files, sources, path);
        const QString folder = file.left(std::max<qsizetype>(file.lastIndexOf(u'/'), 1));
        if (!folders.contains(folder)) folders << folder;
    }
    m_services.fontFolders->refreshCaches(folders);
}

void MainCtrl::endRevision(fr::RevisionRunResult run, const QStringList& revised, const QStringList& notAuthorized,
                           const fr::Reason& why) {
    // A file of ours kept beside a font, as that font's only good copy maybe, is no success.
    const fr::KeptCopy* kept =
        m_fontCheckCtrl && !m_fontCheckCtrl->keptCopies().empty() ? &m_fontCheckCtrl->keptCopies().front() : nullptr;
    QString failed = run.last ? run.last->fullpath : QString();
    if (run.code == fr::result::kRevised && kept) {
        run.code = fr::result::kTempNotRemovable;
        failed = kept->installed;
    }

    hideWindow(r_progressWindow);
    if (run.code != fr::result::kRevised) {
        QString message = resultMessage(run.code, failed);
        // A stop says what was done before it.
        if (run.code == fr::result::kCancelled && !revised.isEmpty())
            message += QStringLiteral("\n\n") + WizardText::alreadyRevised(revised);
        alertErrorMessage3(message);
        return;
    }
    if (!notAuthorized.isEmpty()) {
        showMessage(why.id == QLatin1String("busy") ? WizardText::helperBusy(notAuthorized)
                                                    : WizardText::notAuthorized(notAuthorized));
        if (revised.isEmpty()) {
            terminate();
            return;
        }
    }
    const QString full = percentText(100);
    setText(r_percent1, full);
    setBar(r_progressBar1, 100);
    setText(r_percent2, full);
    setBar(r_progressBar2, 100);
    setText(r_endMessage, WizardText::revisionSucceeded());
    setText(r_endNote, WizardText::newFontsInUse());
    showWindow(r_endWindow);
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
    // The desktop session's manager lets every running program save its work, and the user
    // confirm or cancel. Without one, logind stops every program at once: only on the user's
    // word, asked with No as the default; a failed request changes nothing here.
    if (m_services.restart->askSessionToRestart() == platform::SessionManager::None &&
        askAlertMessage(WizardText::restartWithoutSession()))
        SendAppleEventToSystemProcess(platform::kAERestart);
    terminate();
}

void MainCtrl::endWindowCancelButton() {
    releaseData();
    terminate();
}

bool MainCtrlRevisionProgress(std::int32_t overall, std::int32_t step, const QString& fontPath, const QString& fileName,
                              void* context) {
    auto* ctrl = static_cast<MainCtrl*>(context);
    if (!ctrl) return false;
    const bool stop = ctrl->userStopsAtReport(MainCtrl::Worker::Revision);
    const ProgressLines lines = progressLines(step, fontPath, fileName);
    ctrl->updateProgress(overall, step, lines.line1, lines.line2);
    return stop;
}

}  // namespace wizard
