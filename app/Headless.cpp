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

int runHeadless(const CommandLine& line, Console& console, const std::atomic<bool>& stop,
                const platform::Platform& services, const QString& trustedKey) {
    console.setDryRun(line.dryRun);
    console.setVerbose(line.verbose);
    if (fontManagerRunning(*services.processes)) {
        console.fatal(exitcode::kFontManagerRunning, WizardText::fontManagerRunning(),
                      {QStringLiteral("font-manager-running"), QStringLiteral("the system's font manager is running")});
        return exitcode::kFontManagerRunning;
    }
    fr::FontCheckCtrl discovery(services, trustedKey);
    discovery.setAllowUnsigned(line.allowUnsigned);
    // Only a run that writes clears what interrupted runs left; a list or a dry run only looks.
    discovery.setClearsLeftovers(line.mode == CommandLine::Mode::Revise && !line.dryRun);
    discovery.setNotes([&console](const fr::SearchNote& note) { console.searchNote(note); });
    discovery.checkUpdateFontFile();
    const QString folder = discovery.patchSourceFolder();
    if (discovery.getUpdateSrcFileCount() == 0) {
        console.fatal(
            exitcode::kNoPatchSource,
            CommandLineText::tr("There is no patch to revise the fonts with in %1: the revision stops.").arg(folder),
            noSourceReason(discovery.getTrust(), folder));
        return exitcode::kNoPatchSource;
    }
    console.patchesVerified(discovery.getTrust(), folder);

    Reporting reporting{console, stop};
    discovery.searchOpenTypeFont(searchStatus, &reporting);
    const std::vector<fr::TargetEntryPtr> targets = discovery.getUpdateFontArray();
    const fr::DiscoverySourceLookup sources(discovery);
    // Which of them this user may not replace, and why.
    std::vector<fr::Reason> notReplaceable;
    for (const auto& target : targets) {
        const QString file = fr::replacedFile(*services.files, sources, target->fullpath);
        notReplaceable.push_back(fr::whyNotReplaceable(file, services.files->removal(file)));
    }
    console.targetsFound(targets, notReplaceable);
    if (line.mode == CommandLine::Mode::List) console.listTargets(targets, notReplaceable);
    if (stop) {
        console.fatal(fr::result::kCancelled, resultMessage(fr::result::kCancelled, QString()), cancelReason());
        return fr::result::kCancelled;
    }
    if (targets.empty()) {
        console.fatal(exitcode::kNoTarget, CommandLineText::tr("No installed font is to be revised."),
                      {QStringLiteral("no-target"),
                       QStringLiteral("no installed font is the revision a patch is for (see --list --verbose)")});
        return exitcode::kNoTarget;
    }
    if (line.mode == CommandLine::Mode::List) {
        console.summary({});
        return fr::result::kRevised;
    }

    Console::Outcome outcome;
    fr::Reason reason;  // of the font just revised
    QString firstFailed;
    const fr::FontReviser revise = [&](const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                       std::int32_t count, std::int32_t index) {
        console.fontStarts(target, index, count);
        fr::OpenTypeManager engine(*services.files, *services.pauses);
        engine.setDryRun(line.dryRun);
        const std::int32_t code = engine.updateOpenTypeDiff(target, proc, context, count, index, sources);
        reason = engine.reason();
        return code;
    };
    fr::RevisionRunHooks hooks;
    hooks.keepGoing = line.keepGoing;
    hooks.stopBeforeFont = [&] { return stop.load(); };
    hooks.afterFont = [&](const fr::TargetEntry& target, std::int32_t code, bool skipped) {
        if (code == fr::result::kRevised) {
            if (!skipped) outcome.revised << target.fullpath;
            console.fontEnds(target, code, skipped, {}, {});
            return;
        }
        outcome.failed << target.fullpath;
        if (firstFailed.isEmpty()) {
            firstFailed = target.fullpath;
            outcome.reason = reason;
        }
        console.fontEnds(target, code, skipped, failureMessage(code, target.fullpath), reason);
    };
    const fr::RevisionRunResult run =
        fr::reviseTargets(*services.files, targets, revise, revisionProgress, &reporting, hooks);
    outcome.status = run.code != fr::result::kRevised ? run.code : run.stoppedBeforeFont ? fr::result::kCancelled : 0;
    // A file of ours the search kept beside a font, since it may be that font's only good
    // copy, is never a success: the administrator must look at both.
    if (outcome.status == fr::result::kRevised && !line.dryRun && !discovery.keptCopies().empty()) {
        const fr::KeptCopy& kept = discovery.keptCopies().front();
        outcome.status = fr::result::kTempNotRemovable;
        firstFailed = kept.installed;
        outcome.reason = kept.reason();
        outcome.failed << kept.installed;
        outcome.message = failureMessage(outcome.status, firstFailed);
        console.summary(outcome);
        return outcome.status;
    }
    outcome.restartNeeded = !line.dryRun && !outcome.revised.isEmpty();
    if (outcome.status != fr::result::kRevised) {
        if (firstFailed.isEmpty()) outcome.reason = cancelReason();
        outcome.message = failureMessage(outcome.status, firstFailed);
        console.summary(outcome);
        return outcome.status;
    }
    if (line.dryRun) {
        outcome.message = CommandLineText::tr("Dry run: nothing was changed; %1 font(s) would be revised.")
                              .arg(outcome.revised.size());
        console.summary(outcome);
        return fr::result::kRevised;
    }

    outcome.message = CommandLineText::tr("The revision finished successfully.") + QLatin1Char('\n') +
                      CommandLineText::tr("Restart the system so that the revised fonts take effect.");
    if (line.restart) {
        const int sent = services.restart->sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart);
        outcome.restartRequested = sent == 0;
        outcome.message += QLatin1Char('\n') + (outcome.restartRequested
                                                    ? CommandLineText::tr("Asked the system to restart.")
                                                    : CommandLineText::tr("Could not ask the system to restart."));
        if (!outcome.restartRequested) {
            outcome.status = exitcode::kRestartNotSent;
            outcome.reason = {QStringLiteral("restart-request"),
                              QStringLiteral("the system did not take the restart request (error %1)").arg(sent)};
        }
    }
    console.summary(outcome);
    return outcome.status;
}

}  // namespace wizard
