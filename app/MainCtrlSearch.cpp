// The search phase: from the start window's Next button to the font list, with the search
// callback and the two tables' data source.

#include "app/MainCtrl.h"

#include "app/WizardTableModel.h"
#include "app/WizardText.h"
#include "discovery/FontCheckCtrl.h"
#include "discovery/SourceLookups.h"
#include "patch/RevisionDriver.h"

#include <QLabel>
#include <QTableView>
#include <QThread>
#include <QWidget>

namespace wizard {

namespace {
constexpr int kSearchEndPauseMs = 500;
}

void MainCtrl::startWindowNextButton() {
    if (m_searchThread || m_ended) return;
    // One revision at a time, from the search on: it may clear what ended runs left.
    if (m_services.state && !m_runLock) {
        std::int64_t holder = 0;
        m_runLock = m_services.state->tryLock(holder);
        if (!m_runLock) {
            alertErrorMessage3(holder < 0 ? WizardText::lockUnavailable(m_services.state->lockFile())
                                          : WizardText::anotherRevisionRunning());
            return;
        }
    }
    m_fontCheckCtrl = std::make_unique<fr::FontCheckCtrl>(m_services, m_trustedKey);
    m_fontCheckCtrl->checkUpdateFontFile();
    if (m_fontCheckCtrl->getUpdateSrcFileCount() == 0) {
        alertErrorMessage3(WizardText::noSource() + QStringLiteral("\n\n") + noSourceReason());
        return;
    }
    hideWindow(r_startWindow);
    showWindow(r_searchWindow);
    startWorker(m_searchThread, &MainCtrl::searchFontThread);
}

void MainCtrl::searchFontThread() {
    // The worker alone touches font discovery's lists until the search has ended.
    m_fontCheckCtrl->searchOpenTypeFont(MainCtrlSearchStatus, this);
    std::vector<fr::TargetEntryPtr> found = m_fontCheckCtrl->getUpdateFontArray();
    m_services.pauses->pause(kSearchEndPauseMs);
    if (m_ended) return;

    hideWindow(r_searchWindow);
    if (found.empty()) {
        alertErrorMessage3(WizardText::noTarget());
        return;
    }
    // Which of them this user may not replace: those go to the helper an administrator's
    // authentication starts.
    std::vector<bool> needsAdministrator;
    const fr::DiscoverySourceLookup sources(*m_fontCheckCtrl);
    for (const auto& target : found) {
        const QString file = fr::replacedFile(*m_services.files, sources, target->fullpath);
        needsAdministrator.push_back(!m_services.files->isDeletable(file));
    }
    // The windows get their own copy, on the main thread.
    const bool verified = m_fontCheckCtrl->getTrust().verified;
    post([this, found = std::move(found), needsAdministrator = std::move(needsAdministrator), verified]() mutable {
        setTargets(std::move(found), std::move(needsAdministrator));
        if (m_searchFontListModel) m_searchFontListModel->reloadData();
        if (r_trustNote) r_trustNote->setVisible(!verified);
    });
    showWindow(r_fontListWindow);
}

QString MainCtrl::noSourceReason() const {
    const QString folder = m_fontCheckCtrl->patchSourceFolder();
    if (!m_services.files->isFolder(folder)) return WizardText::noHostFolder(folder);
    const fr::FolderTrust& trust = m_fontCheckCtrl->getTrust();
    if (trust.usable) return WizardText::noPatchForTheseFonts(folder);
    if (trust.why.id == QLatin1String("unsigned-host")) return WizardText::unsignedPatches(folder);
    if (trust.why.id == QLatin1String("manifest-signature") ||
        trust.why.id == QLatin1String("manifest-signature-missing"))
        return WizardText::signatureDoesNotVerify(folder);
    return WizardText::manifestUnusable(folder);
}

QString MainCtrl::rowNote(const QTableView* table, std::int32_t row) const {
    if (table != r_searchFontList || row < 0 || static_cast<std::size_t>(row) >= m_needsAdministrator.size() ||
        !m_needsAdministrator[static_cast<std::size_t>(row)])
        return {};
    return WizardText::needsAdministrator();
}

void MainCtrl::waitFontString(const QString& text) { setText(r_waitMessage, text); }

void MainCtrl::searchWindowCancelButton() { m_bWaitAbort = 1; }

std::int32_t MainCtrl::numberOfRowsInTableView(const QTableView* table) const {
    if (!table) return 0;
    if (table == r_updateList) return m_UpdateFontArray ? static_cast<std::int32_t>(m_UpdateFontArray->size()) : 0;
    if (table == r_searchFontList) return static_cast<std::int32_t>(targets().size());
    return 0;
}

QVariant MainCtrl::tableView(const QTableView* table, const QString& columnIdentifier, std::int32_t row) const {
    if (!table || row < 0) return {};
    if (table == r_updateList) {
        if (!m_UpdateFontArray || columnIdentifier != QLatin1String("upFontList")) return {};
        if (row >= m_UpdateFontArray->size()) return {};
        return m_UpdateFontArray->at(row);
    }
    if (table == r_searchFontList) {
        if (columnIdentifier != QLatin1String("searchFontList")) return {};
        const auto& list = targets();
        if (static_cast<std::size_t>(row) >= list.size() || !list[row]) return {};
        return list[row]->fullpath;
    }
    return {};
}

void MainCtrl::fontListWindowCancelButton() {
    if (!askAlertMessage(WizardText::cancelRevision())) return;
    hideWindow(r_startWindow);
    releaseData();
    terminate();
}

bool MainCtrlSearchStatus(const QString& path, void* context) {
    auto* ctrl = static_cast<MainCtrl*>(context);
    if (!ctrl) return false;
    const bool stop = ctrl->userStopsAtReport(MainCtrl::Worker::Search);
    ctrl->waitFontString(path);
    return stop;
}

}  // namespace wizard
