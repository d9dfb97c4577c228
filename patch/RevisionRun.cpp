#include "patch/RevisionRun.h"

#include "patch/RevisionDriver.h"

#include <QSet>

namespace fr {

RevisionRunResult reviseTargets(const platform::Files& files, const std::vector<TargetEntryPtr>& targets,
                                const FontReviser& revise, RevisionProgressProc proc, void* context,
                                const RevisionRunHooks& hooks) {
    RevisionRunResult run;
    const auto count = static_cast<std::int32_t>(targets.size());
    // The same file reached under two paths (through a link) is revised once: a second
    // revision would apply the patch to the already revised font.
    QSet<QString> revisedFiles;
    for (std::int32_t i = 0; i < count; ++i) {
        if (hooks.stopBeforeFont && hooks.stopBeforeFont()) {
            run.stoppedBeforeFont = true;
            break;
        }
        const TargetEntryPtr& target = targets[static_cast<std::size_t>(i)];
        if (!target) continue;
        const QString file = revisionIdentity(files, target->fullpath);
        const bool skipped = revisedFiles.contains(file);
        const std::int32_t code = skipped ? result::kRevised : revise(*target, proc, context, count, i);
        if (!skipped && code == result::kRevised) revisedFiles.insert(file);
        if (run.code == result::kRevised) {
            run.code = code;
            run.last = target;
        }
        if (hooks.afterFont) hooks.afterFont(*target, code, skipped);
        if (code != result::kRevised && (!hooks.keepGoing || code == result::kCancelled)) break;
        if (code == result::kRevised && hooks.betweenFonts) hooks.betweenFonts();
    }
    return run;
}

}  // namespace fr
