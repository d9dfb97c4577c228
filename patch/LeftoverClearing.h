#pragma once
// What interrupted runs of this program left, cleared by later runs: the temporary file, and
// beside an installed font the new copy made for it, or the old font kept under our name
// while the new one was checked. A file of ours beside a font may be the only good copy of
// the user's font: it is removed once the font in place is known complete (or is the user's
// font itself), put back where that font is not and it is the user's font, and removed
// otherwise.

#include "patch/FontEntries.h"
#include "platform/Files.h"

#include <QString>

#include <functional>

namespace fr {

// The source the search pairs with an installed file of this name; null when none.
using SourceFor = std::function<SourceEntryPtr(const QString& installedName)>;

// Whether the file at `path` is the complete new font of `source`: with a manifest, every
// table digested as the manifest lists the new revision; without one, a CFF OpenType font
// that opens and whose words add up to the whole-font sum.
bool isCompleteNewFont(const platform::Files& files, const QString& path, const SourceEntry* source);
// Whether the file at `path` is the font `source` was made for: it passes the identity
// checks and, with a manifest, every table is the old revision's. Without a source, a CFF
// OpenType font that opens.
bool isTheOldFont(const platform::Files& files, const QString& path, const SourceEntry* source);

enum class Clearing {
    NotOurs,  // not a file of an ended run of ours: left alone
    Removed,
    PutBack,  // the user's old font, put back at the installed path
    Failed,   // ours, but it could be neither removed nor put back
};
Clearing clearLeftover(platform::Files& files, const QString& path, const SourceFor& sourceFor);

// Every leftover of ended runs in `folder`; false when one of ours stays there.
bool clearLeftovers(platform::Files& files, const QString& folder, const SourceFor& sourceFor);
// The same in the folder of the font at `targetPath` (behind links) and in the temporary
// folder: what a revision of that font clears before it starts.
bool clearLeftoversAround(platform::Files& files, const QString& targetPath, const SourceFor& sourceFor);

}  // namespace fr
