#pragma once
// The run over every target: each font in list order through a fresh revision, the same file
// revised once however many paths reach it, and the run stopped at the first font that does
// not end revised (or, when asked, only at a cancel). The wizard's revision worker and the
// headless command line share it.

#include "patch/FontEntries.h"
#include "patch/RevisionCodes.h"
#include "platform/Files.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace fr {

// The revision of one font: target, progress callback, context, number of targets, index.
using FontReviser =
    std::function<std::int32_t(const TargetEntry&, RevisionProgressProc, void*, std::int32_t, std::int32_t)>;

struct RevisionRunHooks {
    // Asked before each font: true ends the run there, before that font is touched.
    std::function<bool()> stopBeforeFont;
    // After each font with its code; `skipped` when it was one file already revised.
    std::function<void(const TargetEntry&, std::int32_t code, bool skipped)> afterFont;
    // After each font that ended revised (the wizard's pause between fonts).
    std::function<void()> betweenFonts;
    // Every font is tried, whatever the ones before it ended with; a cancel still ends the run.
    bool keepGoing = false;
};

struct RevisionRunResult {
    std::int32_t code = 0;  // 0 when every target ended revised, else the first failure's code
    TargetEntryPtr last;    // the target of that failure, or the last one revised
    bool stoppedBeforeFont = false;
};

// `files` tells which targets are one file.
RevisionRunResult reviseTargets(const platform::Files& files, const std::vector<TargetEntryPtr>& targets,
                                const FontReviser& revise, RevisionProgressProc proc, void* context,
                                const RevisionRunHooks& hooks = {});

}  // namespace fr
