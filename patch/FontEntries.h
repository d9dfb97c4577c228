#pragma once
// The two records that discovery hands around: a patch source and a revision target.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace fr {

struct ManifestEntry;

// One patch file of the "host" folder.
struct SourceEntry {
    QString fullpath;                 // the patch file's path, as listed
    QString fontfile;                 // the installed font's file name (Form KC)
    std::optional<QString> fontname;  // font_name of the header; missing when not UTF-8
    std::uint32_t version = 0;        // font_version of the header
    // Its entry in the folder's signed manifest; null when the folder has none.
    std::shared_ptr<const ManifestEntry> manifest;
};

// One installed font to revise.
struct TargetEntry {
    QString fullpath;           // the installed file's path, exactly as the listing gave it
    std::uint32_t version = 0;  // its 'head' fontRevision as a 32-bit number
};

// Lists hand out the entries themselves, not copies.
using SourceEntryPtr = std::shared_ptr<const SourceEntry>;
using TargetEntryPtr = std::shared_ptr<const TargetEntry>;

}  // namespace fr
