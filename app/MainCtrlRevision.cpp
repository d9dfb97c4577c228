// The revision phase: from the font list window's Enter button to the end window, with the
// progress callback, the judgement of the result codes and the end window's buttons.

#include "app/MainCtrl.h"

#include "app/Messages.h"
#include "patch/RevisionDriver.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <QThread>
#include <QWidget>

namespace wizard {

namespace {
constexpr int kBetweenFontsPauseMs = 100;
constexpr int kRevisionEndPauseMs = 500;

QString fileNameOf(const QString& path) { return path.section(QLatin1Char('/'), -1); }

QString withInserted(const char* format, const QString& text) {
    return QString::fromUtf8(format).replace(QLatin1String("%@"), text);
}
}  // namespace

void MainCtrl::fontListWindowEnterButton() {
    if (m_updateThread || m_ended) return;
    if (targets().empty()) {
        alertErrorMessage(kNoTargetToRevise);
        return;
    }
    hideWindow(r_fontListWindow);
    showWindow(r_progressWindow);
    startWorker(m_updateThread, &MainCtrl::updateFontThread);
}

void MainCtrl::updateFontThread() {
    // Read once: the list doesn't change during the run.
    const std::vector<fr::TargetEntryPtr> list = targets();
    const auto count = static_cast<std::int32_t>(list.size());

    std::int32_t result = 0;
    fr::TargetEntryPtr last;
    // The same file reached under two paths (through a link) is revised once: a second
    // revision would apply the patch to the already revised font.
    QSet<QString> revisedFiles;
    for (std::int32_t i = 0; i < count; ++i) {
        if (m_ended) return;
        last = list[static_cast<std::size_t>(i)];
        if (!last) continue;
        const QString file = fr::revisionIdentity(last->fullpath);
        if (revisedFiles.contains(file)) {
            result = 0;
        } else {
            result = m_reviseFont(*last, MainCtrlRevisionProgress, this, count, i);
            if (result == 0) revisedFiles.insert(file);
        }
        if (result != 0) break;
        platform::pauses().pause(kBetweenFontsPauseMs);
    }
    if (m_ended) return;

    hideWindow(r_progressWindow);
    if (result == 0) {
        const QString full = QString::asprintf(kFullPercentFormat);
        setText(r_percent1, full);
        setBar(r_progressBar1, 100);
        setText(r_percent2, full);
        setBar(r_progressBar2, 100);
        setText(r_endMessage, QString::fromUtf8(kRevisionSucceeded));
        showWindow(r_endWindow);
    } else {
        alertErrorMessage3(resultMessage(result, last ? last->fullpath : QString()));
    }
    platform::pauses().pause(kRevisionEndPauseMs);
}

QString MainCtrl::resultMessage(std::int32_t code, const QString& fullpath) const {
    // Compared unsigned, so that a negative code falls with the unknown ones.
    switch (static_cast<std::uint32_t>(code)) {
    case 2:
        return withInserted(kSourceReadFailed, fullpath);
    case 3:
    case 8:
    case 9:
    case 11:
    case 12:
        return withInserted(kNewFileFailed, fileNameOf(fullpath));
    case 7:
        return fileNameOf(fullpath) + QString::fromUtf8(kPatchReadFailed);
    case 10:
        return withInserted(kNotReplaceable, fullpath);
    default:
        return QString::fromUtf8(kRevisionStopped);
    }
}

void MainCtrl::updateProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2) {
    setText(r_progressMessage1, line1);
    setText(r_percent1, QString::asprintf(kPercentFormat, overall));
    setBar(r_progressBar1, overall);
    setText(r_progressMessage2, line2);
    setText(r_percent2, QString::asprintf(kPercentFormat, step));
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

bool MainCtrlRevisionProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2,
                              void* context) {
    auto* ctrl = static_cast<MainCtrl*>(context);
    if (!ctrl) return false;
    const bool stop = ctrl->userStopsAtReport(MainCtrl::Worker::Revision);
    ctrl->updateProgress(overall, step, line1, line2);
    return stop;
}

}  // namespace wizard
