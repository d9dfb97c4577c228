#pragma once
// What interrupted runs of this program left, cleared by later runs: the temporary file, and
// beside an installed font the new copy made for it, or the old font kept under our name
// while the new one was checked. A file of ours beside a font may be the only good copy of
// the user's font: it is removed only where nothing can be lost by it (the font in place is
// proven to be the complete new revision or the user's own font, it holds the same bytes, or
// the file is no font at all), put back where it is the user's font and the font in place is
// neither, and otherwise kept, and said so. A run without a patch for that font proves
// nothing, so it removes nothing that could be that copy.

#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "platform/Files.h"

#include <QString>

#include <functional>
#include <vector>

namespace fr {

// The source the search pairs with an installed file of this name; null when none.
using SourceFor = std::function<SourceEntryPtr(const QString& installedName)>;

// A file of ours kept beside an installed font because it may be the only good copy.
struct KeptCopy {
    QString copy;       // the file of ours
    QString installed;  // the font it stands beside
    Reason reason() const;
};

enum class Clearing {
    NotOurs,  // not a file of an ended run of ours: left alone
    Removed,
    PutBack,  // the user's old font, put back at the installed path
    Kept,     // ours, and maybe the only good copy: left where it is
    Failed,   // ours, but it could be neither removed nor put back
};
Clearing clearLeftover(platform::Files& files, const QString& path, const SourceFor& sourceFor);

// What clearing a folder came to.
struct LeftoverClearing {
    bool failed = false;         // a file of ours there could be neither removed nor put back
    std::vector<KeptCopy> kept;  // files of ours kept there
};
// Every leftover of ended runs in `folder`.
LeftoverClearing clearLeftovers(platform::Files& files, const QString& folder, const SourceFor& sourceFor);
// The same in the folder of the file at `replaced` (the file a revision replaces) and in the
// temporary folder: what a revision of that font clears before it starts.
LeftoverClearing clearLeftoversAround(platform::Files& files, const QString& replaced, const SourceFor& sourceFor);

}  // namespace fr
