#pragma once
// What the per-font revision needs besides the engine: where it finds a target's patch
// source, and how the wizard tells two targets that are one file apart.

#include "discovery/FontEntries.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace fr {

// Where the driver looks up the sources of one target. The wizard's lookup is the
// discovery singleton's; the command-line tool supplies its one patch.
class SourceLookup {
public:
    virtual ~SourceLookup() = default;
    // The source that the search pairs with an installed file named `name` (Form KC).
    virtual SourceEntryPtr sourceForName(const QString& name) const = 0;
    // The source whose patch is applied to the installed file at `path` of revision `version`.
    virtual SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const = 0;
};

// The discovery singleton's source list: IsUpdateFont and getUpdateFontPath.
class DiscoverySourceLookup : public SourceLookup {
public:
    SourceEntryPtr sourceForName(const QString& name) const override;
    SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const override;
};

// A fixed list of sources, paired by file name as the discovery singleton pairs them: the
// first whose "fontfile" equals the installed file's name.
class FixedSourceLookup : public SourceLookup {
public:
    explicit FixedSourceLookup(std::vector<SourceEntryPtr> sources) : m_sources(std::move(sources)) {}
    SourceEntryPtr sourceForName(const QString& name) const override;
    SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const override;

private:
    std::vector<SourceEntryPtr> m_sources;
};

// The identity of a target's file: the file behind every symbolic link
// (platform::files().canonicalPath), or the path itself when it can't be resolved. The
// driver replaces this file, so a link keeps pointing at the revised font. Two targets with
// the same identity are one file; the wizard revises it once and skips the other, which the
// driver would otherwise find already revised and refuse with 2.
QString revisionIdentity(const QString& targetPath);

// The name of a new temporary file: the seconds since 1970 and a pseudo-random number from 0
// to 254, in decimal, with nothing between and no extension.
QString temporaryFileName();

}  // namespace fr
