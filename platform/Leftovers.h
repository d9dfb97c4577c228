#pragma once
// The names of the files this program makes beside an installed font while it replaces it:
// the new copy before it trades places with the old font (which then stands under that name
// until the new one has been checked), or the old font's hard link where the file system
// can't trade places. Each name carries the installed file's name and the making process's id, so
// a later run can tell its own leftovers from anyone else's files and knows when the run
// that made one has ended.

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

enum class LeftoverKind { NewCopy, OldFont };

struct Leftover {
    QString installedName;  // the name of the file it stands beside
    LeftoverKind kind = LeftoverKind::NewCopy;
    std::int64_t pid = 0;
};

// ".<installed name>.font-reviser-<pid>-<nonce in hex>.new" (or ".old").
QString leftoverName(const QString& installedName, LeftoverKind kind, std::int64_t pid, std::uint32_t nonce);

// The parts of a name made by leftoverName; nothing for any other name.
std::optional<Leftover> parseLeftoverName(const QString& name);

// A cheap first look for walks: false for every name that parseLeftoverName refuses.
bool mayBeLeftoverName(const QString& name);

}  // namespace platform
