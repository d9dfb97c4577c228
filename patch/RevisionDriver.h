#pragma once
// What the per-font revision needs besides the engine: how the runs tell two targets that
// are one file apart, and the temporary file's name.

#include "fonttables/Reason.h"
#include "platform/Files.h"

#include <QString>

namespace fr {

class SourceLookup;

// The identity of a target's file: the file behind every symbolic link, or the path itself
// when it can't be resolved. The driver replaces this file, so a link keeps pointing at the
// revised font. Two targets with the same identity are one file; a run revises it once and
// skips the other, which the driver would otherwise find already revised and refuse with 2.
QString revisionIdentity(const platform::Files& files, const QString& targetPath);

// The file a revision of the target at `targetPath` replaces: the file behind a link where
// the search would look for it, the path itself (the link) elsewhere.
QString replacedFile(const platform::Files& files, const SourceLookup& sources, const QString& targetPath);
// Why this user may not replace the file at `path` ("folder-not-writable", "read-only-mount",
// "not-owner"); nothing where they may.
Reason whyNotReplaceable(const QString& path, platform::Files::Removal removal);

// The name of a new temporary file: this program's mark and process id, then the seconds
// since 1970 and a pseudo-random number from 0 to 254, in decimal, with nothing between and
// no extension. The mark lets a later run tell its own leftovers apart.
QString temporaryFileName();

}  // namespace fr
