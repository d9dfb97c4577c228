#pragma once
// What the revision of one target asks of font discovery, handed in by its caller: which
// patch applies, and whether the bytes it read are still the font the search admitted.

#include "patch/FontEntries.h"
#include "platform/ReadableBytes.h"

#include <QString>

#include <cstdint>
#include <span>

namespace fr {

class SourceLookup {
public:
    virtual ~SourceLookup() = default;
    // The source whose patch is applied to the installed file at `path` of revision `version`.
    virtual SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const = 0;
    // True when `font`, read from `path`, passes the identity checks the search made, with
    // the revision `version` the target was listed with. The file may have changed since.
    virtual bool stillTarget(const platform::ReadableBytes& font, const QString& path, std::uint32_t version) const = 0;
    // The source the search pairs with an installed file of this name (as it stands).
    virtual SourceEntryPtr sourceForInstalledName(const QString& name) const = 0;
    // Whether the search would find the file at `path` (a path without links) where it lies:
    // on a volume or in a font folder it walks, in a folder it enters, under a name it
    // examines. A file reached through a link is revised in place only there.
    virtual bool searchFinds(const QString& path) const = 0;
};

}  // namespace fr
