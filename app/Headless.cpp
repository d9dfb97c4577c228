#include "app/Headless.h"

#include "app/Console.h"
#include "app/FontManagerCheck.h"
#include "app/Messages.h"
#include "app/ResultMessages.h"
#include "discovery/SourceLookups.h"
#include "patch/OpenTypeManager.h"
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

bool revisionProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2,
                      void* context) {
    auto* r = static_cast<Reporting*>(context);
    r->console.progress(overall, step, line1, line2);
    return r->stop.load();
}

}  // namespace

int runHeadless(const CommandLine& line, Console& console, const std::atomic<bool>& stop,
                const platform::Platform& services) {
    if (fontManagerRunning(*services.processes)) {
        console.fatal(exitcode::kFontManagerRunning, QString::fromUtf8(kFontManagerRunning));
        return exitcode::kFontManagerRunning;
    }
    fr::FontCheckCtrl discovery(services);
    discovery.checkUpdateFontFile();
    const fr::ManifestReading& manifest = discovery.getManifest();
    if (discovery.getUpdateSrcFileCount() == 0) {
        console.fatal(exitcode::kNoPatchSource, QString::fromUtf8(kNoSource), manifest.detail);
        return exitcode::kNoPatchSource;
    }
    console.patchesVerified(manifest.state == fr::ManifestReading::State::Verified, discovery.patchSourceFolder());

    Reporting reporting{console, stop};
    discovery.searchOpenTypeFont(searchStatus, &reporting);
    const std::vector<fr::TargetEntryPtr> targets = discovery.getUpdateFontArray();
    console.targetsFound(targets);
    if (line.mode == CommandLine::Mode::List) console.listTargets(targets);
    if (stop) {
        console.fatal(fr::result::kCancelled, QString::fromUtf8(kRevisionStopped));
        return fr::result::kCancelled;
    }
    if (targets.empty()) {
        console.fatal(exitcode::kNoTarget, QString::fromUtf8(kNoTarget));
        return exitcode::kNoTarget;
    }
    if (line.mode == CommandLine::Mode::List) {
        console.summary(fr::result::kRevised, {}, {}, false, false);
        return fr::result::kRevised;
    }

    QStringList revised;
    const fr::DiscoverySourceLookup sources(discovery);
    const fr::FontReviser revise = [&](const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                       std::int32_t count, std::int32_t index) {
        console.fontStarts(target, index, count);
        fr::OpenTypeManager engine(*services.files, *services.pauses);
        return engine.updateOpenTypeDiff(target, proc, context, count, index, sources);
    };
    fr::RevisionRunHooks hooks;
    hooks.stopBeforeFont = [&] { return stop.load(); };
    hooks.afterFont = [&](const fr::TargetEntry& target, std::int32_t code, bool skipped) {
        if (code == fr::result::kRevised && !skipped) revised << target.fullpath;
        console.fontEnds(target, code, skipped,
                         code == fr::result::kRevised ? QString() : resultMessage(code, target.fullpath));
    };
    const fr::RevisionRunResult run =
        fr::reviseTargets(*services.files, targets, revise, revisionProgress, &reporting, hooks);
    const std::int32_t code = run.stoppedBeforeFont ? fr::result::kCancelled : run.code;
    if (code != fr::result::kRevised) {
        console.summary(code, revised, resultMessage(code, run.last ? run.last->fullpath : QString()),
                        !revised.isEmpty(), false);
        return code;
    }

    QString message =
        QString::fromUtf8(kRevisionSucceededHeadless) + QLatin1Char('\n') + QString::fromUtf8(kRestartNeeded);
    bool requested = false;
    if (line.restart) {
        requested = services.restart->sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart) == 0;
        message += QLatin1Char('\n') + QString::fromUtf8(requested ? kRestartRequested : kRestartNotRequested);
    }
    console.summary(fr::result::kRevised, revised, message, true, requested);
    return fr::result::kRevised;
}

}  // namespace wizard
