#include "app/Headless.h"

#include "app/CommandLineText.h"
#include "app/Console.h"
#include "app/FontManagerCheck.h"
#include "app/ResultMessages.h"
#include "app/WizardText.h"
#include "discovery/SourceLookups.h"
#include "patch/OpenTypeManager.h"
#include "patch/RevisionDriver.h"
#include "patch/RevisionRun.h"

#include <algorithm>
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

fr::Reason cancelReason() { return {QStringLiteral("cancelled"), QStringLiteral("stopped by SIGINT or SIGTERM")}; }

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
        m_console.runStarts();
        if (const auto ended = refuseBesideFontManager()) return *ended;
        if (const auto ended = listSources()) return *ended;
        if (const auto ended = search()) return *ended;
        return revise();
    }

private:
    // Nothing runs while the system's font manager does.
    std::optional<int> refuseBesideFontManager() {
        if (!fontManagerRunning(*m_services.processes)) return std::nullopt;
        m_console.fatal(exitcode::kFontManagerRunning, WizardText::fontManagerRunning(),
                        {QStringLiteral("font-manager-running"), QStringLiteral("the system's font manager is running")});
        return exitcode::kFontManagerRunning;
    }

    // The patches of "host", as far as they may be trusted.
    std::optional<int> listSources() {
        m_discovery.setAllowUnsigned(m_line.allowUnsigned);
        // Only a run that writes clears what interrupted runs left; a list or a dry run only looks.
        m_discovery.setClearsLeftovers(m_line.mode == CommandLine::Mode::Revise && !m_line.dryRun);
        m_discovery.setNotes([this](const fr::SearchNote& note) { m_console.searchNote(note); });
        m_discovery.checkUpdateFontFile();
        const QString folder = m_discovery.patchSourceFolder();
        if (m_discovery.getUpdateSrcFileCount() == 0) {
            m_console.fatal(
                exitcode::kNoPatchSource,
                CommandLineText::tr("There is no patch to revise the fonts with in %1: the revision stops.").arg(folder),
                noSourceReason(m_discovery.getTrust(), folder));
            return exitcode::kNoPatchSource;
        }
        m_console.patchesVerified(m_discovery.getTrust(), folder);
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
        m_console.targetsFound(m_targets, notReplaceable);
        if (m_line.mode == CommandLine::Mode::List) m_console.listTargets(m_targets, notReplaceable);
        if (m_stop) {
            m_console.fatal(fr::result::kCancelled, resultMessage(fr::result::kCancelled, QString()), cancelReason());
            return fr::result::kCancelled;
        }
        if (m_targets.empty()) {
            m_console.fatal(exitcode::kNoTarget, CommandLineText::tr("No installed font is to be revised."),
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
        fr::Reason reason;  // of the font just revised
        const fr::FontReviser revise = [&](const fr::TargetEntry& target, fr::RevisionProgressProc proc,
                                           void* context, std::int32_t count, std::int32_t index) {
            m_console.fontStarts(target, index, count);
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
        m_outcome.status =
            run.code != fr::result::kRevised ? run.code : run.stoppedBeforeFont ? fr::result::kCancelled : 0;
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
        if (m_outcome.status != fr::result::kRevised) {
            if (!m_outcome.reason) m_outcome.reason = cancelReason();
            m_outcome.message = failureMessage(m_outcome.status, m_firstFailed);
        } else if (m_line.dryRun) {
            m_outcome.message = CommandLineText::tr("Dry run: nothing was changed; %1 font(s) would be revised.")
                                    .arg(m_outcome.revised.size());
        } else {
            m_outcome.message = CommandLineText::tr("The revision finished successfully.") + QLatin1Char('\n') +
                                CommandLineText::tr("Restart the system so that the revised fonts take effect.");
            if (m_line.restart) askForRestart();
        }
        m_console.summary(m_outcome);
        return m_outcome.status;
    }

    // Programs started from now on see the new fonts at once: the caches of their folders.
    void refreshFontCaches() {
        QStringList folders;
        for (const QString& path : m_outcome.revised) {
            const QString file = fr::replacedFile(*m_services.files, m_sources, path);
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
