#pragma once
// What the program trusts and what it proves, in one place: whether the patches of a "host"
// folder may be applied (its signed manifest, the key built in, the administrator's word),
// each patch source with its manifest entry, the digests that prove a build is the revision
// the vendor made, the record of an image written that every later look at a file compares
// with, and the judgement of a font file found beside or in place of an installed one.

#include "fonttables/Digest.h"
#include "fonttables/Reason.h"
#include "fonttables/Tag.h"
#include "patch/FontEntries.h"
#include "patch/PatchManifest.h"
#include "platform/Files.h"

#include <QString>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace fr {

class InstalledFont;

// --- trust in a folder of patches ---

struct FolderTrust {
    bool usable = false;    // its patches may be applied
    bool verified = false;  // and its signed manifest proves each of them
    // Why not usable, or why usable but not verified (nothing where verified).
    Reason why;
};
// `keyBuiltIn`: the program trusts a key, so a folder without a manifest is no source unless
// the administrator allowed unsigned patches. A build without a key applies any folder's
// patches unverified; a manifest that does not verify is never overruled.
FolderTrust folderTrust(const ManifestReading& reading, bool keyBuiltIn, bool allowUnsigned, const QString& folder);

// The source as the folder's manifest has it: with its entry where the manifest is verified
// and lists the patch; as it is where there is no verified manifest; null where a verified
// manifest does not list it (then `why`, where given, says so).
SourceEntryPtr withManifestEntry(const SourceEntryPtr& source, const ManifestReading& reading, Reason* why = nullptr);

// --- proof of a build ---

using TableDigests = std::vector<std::pair<Tag, Digest128>>;
// The digests of the digested tables among the first `numTables` of an image (in memory).
TableDigests imageTableDigests(std::span<const std::uint8_t> image, std::size_t numTables);
// The same of an installed font, read where it lies; nothing when a table can't be read.
std::optional<TableDigests> installedTableDigests(const InstalledFont& font);
// Exactly the tables the manifest lists, each alike: none more, none fewer.
bool sameTables(const TableDigests& proved, const ManifestEntry::Tables& listed);
// The tables where the two differ, as a reason names them: "table 'CFF '", "tables 'CFF ' 'hmtx'".
QString differingTables(const TableDigests& proved, const ManifestEntry::Tables& listed);

// --- the image written ---

// What a revision wrote: every look at a file made from the image, beside the font or in
// its place, compares with this.
struct WrittenImage {
    std::uint64_t length = 0;
    Digest128 digest;
    // Ranges (offset, length) written after the rest: the directory and 'head', whose sums
    // depend on every other byte. The digest is of the file's other bytes in order, then of
    // these in this order, so that it is taken as the file is made, in one pass.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> late;
};
// True when the file at `path` holds exactly that image (read through a buffer of its own).
bool fileHoldsImage(const platform::Files& files, const QString& path, const WrittenImage& image);
// What a whole file holds, read once: as an image is compared, and its SHA-256, the digest
// administrators know (the history records fonts by it). Nothing when it can't be read.
struct FileFingerprint {
    WrittenImage image;
    Sha256 sha256;
};
std::optional<FileFingerprint> fingerprintOf(const platform::Files& files, const QString& path);

// --- font files judged ---

// Whether the file at `path` is the complete new revision of `source`'s font: a CFF OpenType
// font with the full name the patch is for, every table inside the file with its directory
// checksum, the whole-font sum, a well-formed 'name' table, one that opens; with a manifest,
// every digested table as the manifest lists the new revision. Never without a source.
bool isCompleteNewFont(const platform::Files& files, const QString& path, const SourceEntry* source);
// Whether the file at `path` is the font `source` was made for: it passes the identity
// checks and, with a manifest, every table is the old revision's. Never without a source.
bool isTheOldFont(const platform::Files& files, const QString& path, const SourceEntry* source);
// Whether the file at `path` is a whole font at all: a CFF OpenType font whose tables lie in
// it and that opens.
bool isWholeFont(const platform::Files& files, const QString& path);
// Whether the two files hold the same bytes.
bool sameContents(const platform::Files& files, const QString& a, const QString& b);

}  // namespace fr
