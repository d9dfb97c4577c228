#pragma once
// The names of the files this program makes: its temporary file, and beside an installed font
// while it replaces it:
// the new copy before it trades places with the old font (which then stands under that name
// until the new one has been checked), or the old font's hard link where the file system
// can't trade places. Each name carries the installed file's name and the making process's id, so
// a later run can tell its own leftovers from anyone else's files and knows when the run
// that made one has ended.

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

enum class LeftoverKind { NewCopy, OldFont, Temporary };

struct Leftover {
    QString installedName;  // the name of the file it stands beside (not for a temporary file)
    LeftoverKind kind = LeftoverKind::NewCopy;
    std::int64_t pid = 0;
};

// ".<installed name>.font-reviser-<pid>-<nonce in hex>.new" (or ".old").
QString leftoverName(const QString& installedName, LeftoverKind kind, std::int64_t pid, std::uint32_t nonce);

// The temporary file of a revision, in the temporary folder: "font-reviser-<pid>-" and
// then the seconds since 1970 and a number from 0 to 254, in decimal, with nothing between.
QString temporaryName(std::int64_t pid, std::int64_t seconds, int random);

// The parts of a name made by leftoverName or temporaryName; nothing for any other name.
std::optional<Leftover> parseLeftoverName(const QString& name);

// A cheap first look for walks: false for every name that parseLeftoverName refuses.
// (A temporary file's name never starts with a dot: a walk of font folders can leave it.)
bool mayBeLeftoverName(const QString& name);

}  // namespace platform
