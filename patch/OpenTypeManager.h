#pragma once
// The engine that revises one installed font: the per-font revision driver, the assembly of
// the new font with its stages that report progress (the name carry-over and the checksum
// adjustment), and the identity checks that decide whether an installed file is a revision
// target. It holds the installed font's table model and the loaded patch for one font, and is
// handed the platform services it uses.

#include "fonttables/InstalledFont.h"
#include "fonttables/OpenTypeObj.h"
#include "fonttables/TableDigest.h"
#include "fonttables/TableDirectory.h"
#include "patch/FontEntries.h"
#include "patch/FontProgress.h"
#include "patch/IdentityChecks.h"
#include "patch/Integrity.h"
#include "patch/MakeSabunData.h"
#include "patch/PatchManifest.h"
#include "patch/RevisionCodes.h"
#include "platform/Files.h"
#include "platform/Pauses.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace fr {

class SourceLookup;

class OpenTypeManager : public OpenTypeObj {
public:
    using NameField = InstalledFont::NameField;

    // The services outlive the engine, which lives for one font.
    OpenTypeManager(platform::Files& files, platform::Pauses& pauses);

    // --- the revision of one font (RevisionDriver.cpp) ---
    // `sources` answers which patch applies to the target and whether the bytes read are
    // still the target the search admitted. The callback, its context and the count and
    // index are the outer interface; below it they travel as one FontProgress.
    std::int32_t updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index, const SourceLookup& sources);
    // Opens the installed font at the progress's path and builds its table model: 0, 2 or 6.
    std::int32_t loadOpenTypeDiff(const FontProgress& progress);
    // A dry run does everything a revision does short of writing or removing anything: the
    // load and the re-check, the patch, the whole new image in memory with its checks, and
    // whether the temporary folder, the font and its folder may be written. It ends with the
    // code the revision would.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // Why the revision ended with the code it did, when that is not 0: the file it is about in
    // front of the detail.
    const Reason& reason() const { return m_reason; }
    // Reads the installed copy's License Description strings into the engine's two fields.
    bool readLicenseStrings();
    // True when the file at `path` holds every byte of the image as it was written: its
    // length and its digest. Read through a buffer of its own, a piece at a time.
    bool compareFontData(const QString& path, const WrittenImage& written) const;

    // --- the installed font's table model ---
    TagObj* getTagObjectName(const char* tag) const { return m_installedFont.getTagObjectName(tag); }
    TagObj* getTagObjectIndex(std::int32_t index) const { return m_installedFont.getTagObjectIndex(index); }
    bool getSerialNumber(NameField& mac, NameField& windows) const {
        return m_installedFont.getSerialNumber(mac, windows);
    }

    // --- the assembly and its stages (FontAssembly.cpp, AssemblyStages.cpp) ---
    // Makes the new font from the loaded installed font and the patch in the file at
    // `tempPath`, a piece at a time, and checks it. `patch` is the source as the search listed
    // it: the patch loaded must still carry the font name and version that listing read from it.
    std::int32_t creatFontFileDiff(const FontProgress& progress, const SourceEntry& patch, const QString& tempPath);
    // The two stages that finish the new font once every other table is written: the License
    // Description strings carried over into its 'name', then the checksums.
    std::int32_t changeSerialNumber(const FontProgress& progress);
    std::int32_t setCheckSumAdjustment(const FontProgress& progress);

    // --- the identity checks (IdentityChecks.h): class-level, they use no engine's state ---
    static bool checkOpenTypeVersion(const platform::ReadableBytes& font, const SourceEntry& source,
                                     std::uint64_t& revision, Reason* why = nullptr) {
        return identity::checkOpenTypeVersion(font, source, revision, why);
    }
    static bool checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out) {
        return identity::checkOpenTypeHeader(bytes, length, out);
    }
    static bool checkHeadTbleVersion(std::size_t recordOffset, const platform::ReadableBytes& font,
                                     const SourceEntry& source, std::uint64_t& revision) {
        return identity::checkHeadTbleVersion(recordOffset, font, source, revision);
    }
    static bool checknameTblFontName(std::size_t recordOffset, const platform::ReadableBytes& font,
                                     const SourceEntry& source) {
        return identity::checknameTblFontName(recordOffset, font, source);
    }

private:
    // Ends with `code`, for the reason given about `file`.
    std::int32_t fail(std::int32_t code, const QString& file, const Reason& why);
    std::int32_t fail(std::int32_t code, const QString& file, const char* id, const QString& detail) {
        return fail(code, file, Reason{QString::fromLatin1(id), detail});
    }
    // The code of a cancel, said as one.
    std::int32_t cancelled();
    // The revision's steps: what interrupted runs left cleared, the font loaded and checked
    // again, its License Description strings read and its patch found (`source`); then, once
    // the assembly has written the new font, the replacement of the installed file.
    std::int32_t prepareRevision(const FontProgress& progress, const TargetEntry& target, const SourceLookup& sources,
                                 const QString& installed, SourceEntryPtr& source);
    std::int32_t replaceInPlace(const FontProgress& progress, const SourceEntry& source, const QString& temporaryPath,
                                const QString& installed);

    // The new font the patch describes is well formed: every directory slot filled by a
    // record of an installed table, each installed table once, every table inside the file,
    // on a word boundary, after the directory, and none over another. On true, `slotTables`
    // holds the table of each slot.
    bool newFontLayoutHolds(const MakeSabunData& patch, std::vector<TagObj*>& slotTables, Reason* why) const;
    // The assembly once the patch is loaded: the new font written and checked (against
    // `expected`, the patch's manifest entry, where there is one).
    std::int32_t buildAndWriteImage(const FontProgress& progress, const QString& name, const QString& tempPath,
                                    const ManifestEntry* expected);
    // Every table but 'name' and 'head' written into the new file, those two built in memory.
    std::int32_t writeTables(const FontProgress& progress, const std::vector<TagObj*>& slotTables);
    // The new file read back once: each table's checksum, the digests a manifest lists, and
    // the file's own digest, all but what is written last.
    bool readBack(TableDigests* newTables, Hasher& image, Reason& why);

    platform::Files& m_files;
    platform::Pauses& m_pauses;
    InstalledFont m_installedFont;
    NameField m_SerialNumber{};
    NameField m_SerialNumberUni{};
    std::unique_ptr<MakeSabunData> m_pSabunObject;
    // The new font while it is made: its file, its directory in slot order, and the two
    // tables that change after their build ('name', 'head'), held until they are written.
    struct NewTable {
        TableRecord record;
        std::vector<std::uint8_t> bytes;  // 'name' and 'head' only
    };
    std::unique_ptr<platform::NewFile> m_newFile;
    std::vector<NewTable> m_newTables;
    WrittenImage m_written;  // what the assembly wrote, once it has
    bool m_dryRun = false;
    Reason m_reason;
};

}  // namespace fr
