#include "app/Headless.h"

#include "app/CommandLineText.h"
#include "app/Console.h"
#include "app/FontManagerCheck.h"
#include "app/ResultMessages.h"
#include "app/WizardText.h"
#include "discovery/SourceLookups.h"
#include "patch/FontProgress.h"
#include "patch/NewRevision.h"
#include "patch/OpenTypeManager.h"
#include "patch/RevisionDriver.h"
#include "patch/RevisionRun.h"
#include "patch/RunHistory.h"
#include "patch/RunUndo.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <optional>

namespace wizard {

namespace {

struct Reporting {
    Console& console;
    const std::atomic<bool>& stop;
};

bool searchStatus(const QString& path, void* context) {
    auto* r = static_cast<Reporting*>(context);
    r->console.searching(path);
    return r->stop.load();
}

bool revisionProgress(std::int32_t overall, std::int32_t step, const QString& fontPath, const QString& fileName,
                      void* context) {
    auto* r = static_cast<Reporting*>(context);
    r->console.progress(overall, step, fontPath, fileName);
    return r->stop.load();
}

// Why the folder of patches gives no source: its trust, or nothing in it.
fr::Reason noSourceReason(const fr::FolderTrust& trust, const QString& folder) {
    if (!trust.usable) return trust.why;
    return {QStringLiteral("no-patch-source"),
            QStringLiteral("%1: no patch file a font of these families takes (see --list --verbose)").arg(folder)};
}

// The message that ends a font or the run with `code`; where this user may not replace a font,
// with what to do about it.
QString failureMessage(std::int32_t code, const QString& path) {
    QString message = resultMessage(code, path);
    if (code == fr::result::kNotReplaceable)
        message += QLatin1Char('\n') +
                   CommandLineText::tr("Run the program as root (for example with sudo), or ask an administrator.");
    return message;
}

// A font an undo leaves as it is: the detail names it and why.
QString notPutBack(const fr::Reason& why) { return CommandLineText::tr("Not put back: %1").arg(why.detail); }

fr::Reason cancelReason() { return {QStringLiteral("cancelled"), QStringLiteral("stopped by SIGINT or SIGTERM")}; }

// How often a run that waits for another asks for the lock again.
constexpr int kLockPollMs = 200;

}  // namespace

namespace {

// One run of the command line, as its steps: the start-up check, the patch sources, the
// search, the revision of what it found, and the outcome.
class HeadlessRun {
public:
    HeadlessRun(const CommandLine& line, Console& console, const std::atomic<bool>& stop,
                const platform::Platform& services, const QString& trustedKey, QStringList listed = {})
        : m_listed(std::move(listed)),
          m_line(line),
          m_console(console),
          m_stop(stop),
          m_services(services),
          m_discovery(services, trustedKey),
          m_reporting{console, stop},
          m_sources(m_discovery) {}

    int run() {
        m_console.setDryRun(m_line.dryRun);
        m_console.setVerbose(m_line.verbose);
        m_console.setUndo(m_line.mode == CommandLine::Mode::Undo);
        const fr::SearchScope scope{m_line.under, m_line.fontFoldersOnly};
        // The helper says it runs only once it holds the lock: a busy one ends before its start.
        const bool helper = m_line.mode == CommandLine::Mode::Helper;
        if (!helper) m_console.runStarts(scope);
        if (const auto ended = takeLock()) return *ended;
        if (helper) m_console.runStarts(scope);
        if (m_line.mode == CommandLine::Mode::History) return showHistory();
        if (const auto ended = refuseBesideFontManager()) return *ended;
        if (m_line.mode == CommandLine::Mode::Undo) return undo();
        if (const auto ended = checkScope(scope)) return *ended;
        if (const auto ended = listSources()) return *ended;
        if (const auto ended = search()) return *ended;
        return revise();
    }

private:
    // One run that writes at a time: a second one ends at once, or waits as long as it was
    // told to.
    std::optional<int> takeLock() {
        if (!m_line.writes() || !m_services.state) return std::nullopt;
        std::int64_t holder = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_line.waitSeconds);
        for (;;) {
            m_lock = m_services.state->tryLock(holder);
            if (m_lock) return std::nullopt;
            if (holder < 0 || m_stop || std::chrono::steady_clock::now() >= deadline) break;
            QThread::msleep(kLockPollMs);
        }
        const QString lockFile = m_services.state->lockFile();
        if (holder < 0) {
            m_console.fatal(exitcode::kBusy,
                            CommandLineText::tr("The lock %1 can't be taken: no run can start.").arg(lockFile),
                            {QStringLiteral("lock-unavailable"),
                             QStringLiteral("%1: the lock file can't be made or opened, or belongs to another user")
                                 .arg(lockFile)});
            return exitcode::kBusy;
        }
        const QString process = holder > 0 ? QString::number(holder) : QStringLiteral("?");
        m_console.fatal(exitcode::kBusy,
                        CommandLineText::tr("Another revision is running (process %1): try again once it has ended, "
                                            "or wait for it with --wait.")
                            .arg(process),
                        {QStringLiteral("busy"), QStringLiteral("%1 is held by process %2").arg(lockFile, process)});
        return exitcode::kBusy;
    }

    // The folders the search is bounded to are folders.
    std::optional<int> checkScope(const fr::SearchScope& scope) {
        for (const QString& folder : scope.under) {
            if (m_services.files->isFolder(folder)) continue;
            m_console.fatal(exitcode::kUsage, CommandLineText::tr("--under: no such folder: %1").arg(folder),
                            {QStringLiteral("no-folder"), QStringLiteral("%1: no folder to search").arg(folder)});
            return exitcode::kUsage;
        }
        m_discovery.setScope(scope);
        return std::nullopt;
    }

    // A record of this run, where the run writes and the platform keeps records.
    void startRecording(const QString& kind, const QString& patchSet, const QString& undoes = {}) {
        if (!m_line.writes()) return;
        if (!m_services.state) return;
        fr::RunRecord run = fr::newRun(kind);
        run.patchSet = patchSet;
        run.undoes = undoes;
        m_recorder.emplace(*m_services.files, *m_services.state, m_services.journal, std::move(run),
                           m_line.keepBackups);
    }
    void finishRecording() {
        if (!m_recorder) return;
        if (m_recorder->finish(m_outcome.status))
            m_outcome.run = m_recorder->run().id;
        else
            m_console.notRecorded(m_services.state->folder() + QLatin1Char('/') + QLatin1String(fr::kHistoryName));
    }

    // --history: the runs and the space their kept fonts take.
    int showHistory() {
        std::vector<fr::RunRecord> runs;
        std::vector<std::uint64_t> bytes;
        QString folder;
        if (m_services.state) {
            runs = fr::readHistory(*m_services.files, m_services.state->folder());
            folder = m_services.state->folder() + QLatin1Char('/') + QLatin1String(fr::kBackupFolderName);
            for (const fr::RunRecord& run : runs)
                bytes.push_back(run.keptBackups() ? m_services.state->spaceTaken(folder + QLatin1Char('/') + run.id)
                                                  : 0);
        }
        m_console.history(runs, bytes, m_services.state ? m_services.state->spaceTaken(folder) : 0, folder);
        return 0;
    }

    // --undo [RUN]: the fonts that run replaced put back, each only where it is still what the
    // run wrote.
    int undo() {
        const std::vector<fr::RunRecord> runs = m_services.state
                                                    ? fr::readHistory(*m_services.files, m_services.state->folder())
                                                    : std::vector<fr::RunRecord>{};
        const auto chosen = std::find_if(runs.crbegin(), runs.crend(), [&](const fr::RunRecord& run) {
            return m_line.undoRun.isEmpty() ? run.keptBackups() : run.id == m_line.undoRun;
        });
        if (chosen == runs.crend()) {
            m_console.fatal(exitcode::kNoTarget,
                            m_line.undoRun.isEmpty()
                                ? CommandLineText::tr("No recorded run has fonts to put back.")
                                : CommandLineText::tr("There is no run %1 in the history.").arg(m_line.undoRun),
                            {QStringLiteral("no-run"), QStringLiteral("no such run with kept fonts in the history")});
            return exitcode::kNoTarget;
        }
        const fr::RunRecord& run = *chosen;
        startRecording(QStringLiteral("undo"), QString(), run.id);
        std::vector<const fr::FontRecord*> fonts;
        for (const fr::FontRecord& font : run.fonts)
            if (font.status == 0) fonts.push_back(&font);
        QString firstFailed, firstMessage;
        for (std::size_t i = 0; i < fonts.size() && !m_stop; ++i) {
            const fr::FontRecord& font = *fonts[i];
            const fr::TargetEntry target{font.path, 0};
            m_console.fontStarts(target, static_cast<std::int32_t>(i), static_cast<std::int32_t>(fonts.size()));
            if (m_recorder) m_recorder->fontStarts(font.path, font.file, font.newRevision);
            fr::Reason why;
            const std::int32_t code = fr::undoFont(*m_services.files, *m_services.pauses, m_services.state->folder(),
                                                   font, m_line.dryRun, why);
            if (m_recorder) m_recorder->fontEnds(code, false, why);
            // A font the undo leaves alone (changed since, its copy gone or changed) says why.
            const QString message = code == 0                           ? QString()
                                    : code == fr::result::kFontUnusable ? notPutBack(why)
                                                                        : failureMessage(code, font.path);
            m_console.fontEnds(target, code, false, message, why);
            if (code == 0) {
                m_outcome.revised << font.path;
                m_replaced << font.file;
                continue;
            }
            m_outcome.failed << font.path;
            if (m_outcome.status == 0) {
                m_outcome.status = code;
                m_outcome.reason = why;
                firstFailed = font.path;
                firstMessage = message;
            }
        }
        if (m_stop && m_outcome.status == 0) m_outcome.status = fr::result::kCancelled;
        m_outcome.restartNeeded = !m_line.dryRun && !m_outcome.revised.isEmpty();
        if (!m_line.dryRun && !m_replaced.isEmpty()) refreshFolders(m_replaced);
        endMessage(firstFailed,
                   CommandLineText::tr("Dry run: nothing was changed; %1 font(s) would be put back.")
                       .arg(m_outcome.revised.size()),
                   CommandLineText::tr("The fonts of run %1 were put back.").arg(run.id));
        if (m_outcome.status == fr::result::kFontUnusable) m_outcome.message = firstMessage;
        finishRecording();
        m_console.summary(m_outcome);
        return m_outcome.status;
    }

    // Nothing runs while the system's font manager does.
    std::optional<int> refuseBesideFontManager() {
        if (!fontManagerRunning(*m_services.processes)) return std::nullopt;
        m_console.fatal(
            exitcode::kFontManagerRunning, WizardText::fontManagerRunning(),
            {QStringLiteral("font-manager-running"), QStringLiteral("the system's font manager is running")});
        return exitcode::kFontManagerRunning;
    }

    // The patches of "host", as far as they may be trusted.
    std::optional<int> listSources() {
        m_discovery.setAllowUnsigned(m_line.allowUnsigned);
        if (!m_line.host.isEmpty()) m_discovery.setPatchSourceFolder(m_line.host);
        // Only a run that writes clears what interrupted runs left; a list or a dry run only looks.
        m_discovery.setClearsLeftovers(m_line.mode == CommandLine::Mode::Revise && !m_line.dryRun);
        m_discovery.setNotes([this](const fr::SearchNote& note) { m_console.searchNote(note); });
        m_discovery.checkUpdateFontFile();
        const QString folder = m_discovery.patchSourceFolder();
        if (m_discovery.getUpdateSrcFileCount() == 0) {
            m_console.fatal(exitcode::kNoPatchSource,
                            CommandLineText::tr("There is no patch to revise the fonts with in %1: the revision stops.")
                                .arg(folder),
                            noSourceReason(m_discovery.getTrust(), folder));
            return exitcode::kNoPatchSource;
        }
        m_console.patchesVerified(m_discovery.getTrust(), folder, m_discovery.patchSet());
        return std::nullopt;
    }

    // The targets, each with why this user may not replace it; --list ends here.
    std::optional<int> search() {
        if (m_line.mode == CommandLine::Mode::Helper) {
            // The helper walks nothing: it admits what it is given as the search would.
            for (const QString& path : m_listed) {
                fr::Reason why;
                if (fr::TargetEntryPtr target = m_discovery.admitListed(path, why)) m_targets.push_back(target);
            }
        } else {
            m_discovery.searchOpenTypeFont(searchStatus, &m_reporting);
            m_targets = m_discovery.getUpdateFontArray();
        }
        std::vector<fr::Reason> notReplaceable;
        for (const auto& target : m_targets) {
            const QString file = fr::replacedFile(*m_services.files, m_sources, target->fullpath);
            notReplaceable.push_back(fr::whyNotReplaceable(file, m_services.files->removal(file)));
        }
        // What each font would become, read off its patch, for the list.
        Console::NewRevisions newRevisions;
        if (m_line.mode == CommandLine::Mode::List)
            for (const auto& target : m_targets) {
                const fr::SourceEntryPtr source = m_discovery.getUpdateFontPath(target->fullpath, target->version);
                newRevisions.push_back(source ? fr::revisionAfterPatch(*m_services.files, target->fullpath, *source)
                                              : std::nullopt);
            }
        m_console.targetsFound(m_targets, notReplaceable, newRevisions);
        if (m_line.mode == CommandLine::Mode::List) m_console.listTargets(m_targets, notReplaceable, newRevisions);
        if (m_stop) {
            m_console.fatal(fr::result::kCancelled, resultMessage(fr::result::kCancelled, QString()), cancelReason());
            return fr::result::kCancelled;
        }
        if (m_targets.empty()) {
            m_console.fatal(
                exitcode::kNoTarget, CommandLineText::tr("No installed font is to be revised."),
                {QStringLiteral("no-target"),
                 QStringLiteral("no installed font is the revision a patch is for (see --list --verbose)")});
            return exitcode::kNoTarget;
        }
        if (m_line.mode != CommandLine::Mode::List) return std::nullopt;
        m_console.summary({});
        return fr::result::kRevised;
    }

    // Every target through a fresh engine, in the wizard's order, then the outcome.
    int revise() {
        startRecording(QStringLiteral("revise"), m_discovery.patchSet());
        fr::Reason reason;  // of the font just revised
        const fr::FontReviser revise = [&](const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                           std::int32_t count, std::int32_t index) {
            m_console.fontStarts(target, index, count);
            if (m_recorder)
                m_recorder->fontStarts(target.fullpath, fr::replacedFile(*m_services.files, m_sources, target.fullpath),
                                       fr::revisionText(target.version));
            fr::OpenTypeManager engine(*m_services.files, *m_services.pauses);
            engine.setDryRun(m_line.dryRun);
            const std::int32_t code = engine.updateOpenTypeDiff(target, proc, context, count, index, m_sources);
            reason = engine.reason();
            return code;
        };
        fr::RevisionRunHooks hooks;
        hooks.keepGoing = m_line.keepGoing;
        hooks.stopBeforeFont = [this] { return m_stop.load(); };
        hooks.afterFont = [&](const fr::TargetEntry& target, std::int32_t code, bool skipped) {
            if (m_recorder) m_recorder->fontEnds(code, skipped, code == fr::result::kRevised ? fr::Reason{} : reason);
            if (code == fr::result::kRevised) {
                if (!skipped) m_outcome.revised << target.fullpath;
                m_console.fontEnds(target, code, skipped, {}, {});
                return;
            }
            m_outcome.failed << target.fullpath;
            if (m_firstFailed.isEmpty()) {
                m_firstFailed = target.fullpath;
                m_outcome.reason = reason;
            }
            m_console.fontEnds(target, code, skipped, failureMessage(code, target.fullpath), reason);
        };
        const fr::RevisionRunResult run =
            fr::reviseTargets(*m_services.files, m_targets, revise, revisionProgress, &m_reporting, hooks);
        m_outcome.status = run.code != fr::result::kRevised ? run.code
                           : run.stoppedBeforeFont          ? fr::result::kCancelled
                                                            : 0;
        return conclude();
    }

    // The run's end: a kept copy or a failure, a dry run, or the revised fonts and the restart.
    int conclude() {
        // A file of ours the search kept beside a font, since it may be that font's only good
        // copy, is never a success: the administrator must look at both.
        if (m_outcome.status == fr::result::kRevised && !m_line.dryRun && !m_discovery.keptCopies().empty()) {
            const fr::KeptCopy& kept = m_discovery.keptCopies().front();
            m_outcome.status = fr::result::kTempNotRemovable;
            m_firstFailed = kept.installed;
            m_outcome.reason = kept.reason();
            m_outcome.failed << kept.installed;
        }
        m_outcome.restartNeeded = !m_line.dryRun && !m_outcome.revised.isEmpty();
        if (!m_line.dryRun) refreshFontCaches();
        endMessage(m_firstFailed,
                   CommandLineText::tr("Dry run: nothing was changed; %1 font(s) would be revised.")
                       .arg(m_outcome.revised.size()),
                   CommandLineText::tr("The revision finished successfully."));
        if (m_outcome.status == fr::result::kRevised && !m_line.dryRun && m_line.restart) askForRestart();
        finishRecording();
        m_console.summary(m_outcome);
        return m_outcome.status;
    }

    // The run's closing text: the first failure's message (at `firstFailed`), a dry run's
    // `dryRun`, or what was `done` and the restart it needs.
    void endMessage(const QString& firstFailed, const QString& dryRun, const QString& done) {
        if (m_outcome.status != fr::result::kRevised) {
            if (!m_outcome.reason) m_outcome.reason = cancelReason();
            m_outcome.message = failureMessage(m_outcome.status, firstFailed);
        } else {
            m_outcome.message =
                m_line.dryRun ? dryRun
                              : done + QLatin1Char('\n') +
                                    CommandLineText::tr("Restart the system so that the revised fonts take effect.");
        }
    }

    // Programs started from now on see the new fonts at once: the caches of their folders.
    void refreshFontCaches() {
        QStringList files;
        for (const QString& path : m_outcome.revised) files << fr::replacedFile(*m_services.files, m_sources, path);
        refreshFolders(files);
    }
    void refreshFolders(const QStringList& files) {
        QStringList folders;
        for (const QString& file : files) {
            const QString folder = file.left(std::max<qsizetype>(file.lastIndexOf(u'/'), 1));
            if (!folders.contains(folder)) folders << folder;
        }
        if (!folders.isEmpty()) m_services.fontFolders->refreshCaches(folders);
    }

    // The administrator's --restart: the desktop session's manager where one runs (it lets
    // programs save their work), logind otherwise.
    void askForRestart() {
        const int sent = m_services.restart->askSessionToRestart() != platform::SessionManager::None
                             ? 0
                             : m_services.restart->sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart);
        m_outcome.restartRequested = sent == 0;
        m_outcome.message += QLatin1Char('\n') + (m_outcome.restartRequested
                                                      ? CommandLineText::tr("Asked the system to restart.")
                                                      : CommandLineText::tr("Could not ask the system to restart."));
        if (m_outcome.restartRequested) return;
        m_outcome.status = exitcode::kRestartNotSent;
        m_outcome.reason = {QStringLiteral("restart-request"),
                            QStringLiteral("the system did not take the restart request (error %1)").arg(sent)};
    }

    const QStringList m_listed;  // the helper's paths
    const CommandLine& m_line;
    Console& m_console;
    const std::atomic<bool>& m_stop;
    const platform::Platform& m_services;
    fr::FontCheckCtrl m_discovery;
    Reporting m_reporting;
    const fr::DiscoverySourceLookup m_sources;
    std::vector<fr::TargetEntryPtr> m_targets;
    Console::Outcome m_outcome;
    QString m_firstFailed;
    std::unique_ptr<platform::RunLock> m_lock;  // held to the run's end
    std::optional<fr::RunRecorder> m_recorder;
    QStringList m_replaced;  // an undo's files put back
};

}  // namespace

int runHeadless(const CommandLine& line, Console& console, const std::atomic<bool>& stop,
                const platform::Platform& services, const QString& trustedKey) {
    return HeadlessRun(line, console, stop, services, trustedKey).run();
}

int runHelper(const QStringList& listed, Console& console, const std::atomic<bool>& stop,
              const platform::Platform& services, const QString& trustedKey) {
    const CommandLine line = CommandLine::parse({QStringLiteral("--helper")});
    return HeadlessRun(line, console, stop, services, trustedKey, listed).run();
}

}  // namespace wizard
