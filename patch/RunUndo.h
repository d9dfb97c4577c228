#pragma once
// A font a run replaced, put back: only where the file in place is still byte for byte what
// that run wrote and the kept file is still what it replaced, by the same replacement and
// proof as a revision (the kept file copied beside the font, checked there, traded places with
// the font, checked in place), the kept file left where it is.

#include "fonttables/Reason.h"
#include "patch/RunHistory.h"
#include "platform/Files.h"
#include "platform/Pauses.h"

#include <cstdint>

namespace fr {

// 0 where the font was put back (or would be, in a dry run); else its code and why: 2 where
// it is skipped (no kept file, the kept file or the font changed since), or the replacement's.
std::int32_t undoFont(platform::Files& files, platform::Pauses& pauses, const QString& stateFolder,
                      const FontRecord& font, bool dryRun, Reason& why);

}  // namespace fr
