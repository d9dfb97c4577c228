#pragma once
// The engine that judges and revises one installed font. One class; its operations are
// defined in the layer that owns them: the table model, its lookups, the header test and
// the reading of the License Description strings here in fonttables/; the revision driver,
// the assembly and the stages that report progress (the name carry-over, the checksum
// step) in patch/; the identity checks in discovery/.

#include "fonttables/FontTypes.h"
#include "fonttables/OpenTypeObj.h"
#include "fonttables/TagObj.h"
#include "fonttables/ZeroedBuffer.h"
#include "platform/ReadableBytes.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace fr {

class MakeSabunData;
class SourceLookup;
struct SourceEntry;
struct TargetEntry;

class OpenTypeManager : public OpenTypeObj {
public:
    using NameField = std::array<std::uint8_t, 255>;

    OpenTypeManager();
    ~OpenTypeManager() override;

    // --- the installed font and its table model (fonttables/OpenTypeManager.cpp) ---
    // Takes the installed font, read where it lies: tests its header into the model's header,
    // reads the directory and builds one TagObj per record: 0, or 2 for a file that is no CFF
    // OpenType font, a tag outside the accepted list, or a directory or table outside the
    // file. Tables are read later, only where the revision needs them.
    std::int32_t loadInstalledFont(std::unique_ptr<platform::ReadableBytes> font);
    // The same for bytes already in memory.
    std::int32_t loadInstalledFont(std::vector<std::uint8_t> bytes);
    const platform::ReadableBytes& installedFont() const;
    const _sfntHeader& header() const { return m_sfntHead; }
    std::size_t tableCount() const { return m_TagArray.size(); }
    TagObj* getTagObjectName(const char* tag) const;
    TagObj* getTagObjectIndex(std::int32_t index) const;
    static bool checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out);

    // --- the License Description strings (fonttables/LicenseStrings.cpp) ---
    // Reads the installed copy's Macintosh and Windows strings into the two fields.
    bool getSerialNumber(NameField& mac, NameField& windows) const;
    // The same into the manager's own fields, zero-filled first.
    bool readLicenseStrings();
    void setLicenseStrings(const NameField& mac, const NameField& windows);

    // --- the new image (fonttables/OpenTypeManager.cpp) ---
    // A zero-filled image of `length` bytes; false when memory for it can't be had.
    bool allocateImage(std::uint32_t length);
    // Takes a finished image (for the stages' own tests).
    void setImage(std::vector<std::uint8_t> image, _sfntHeader header);
    std::span<std::uint8_t> image();
    std::span<const std::uint8_t> image() const;
    void releaseImage();
    std::uint32_t verifyCheckSum() const { return m_VerifyCheckSum; }

    // --- identity checks (discovery/IdentityChecks.cpp) ---
    // Each reads only what it needs of the font: the offset table, the directory, the
    // fontRevision and the Macintosh full name.
    bool checkOpenTypeVersion(const QString& path, const SourceEntry& source, std::uint64_t& revision) const;
    bool checkOpenTypeVersion(const platform::ReadableBytes& font, const SourceEntry& source,
                              std::uint64_t& revision) const;
    // `recordOffset` is the table record's position in the font.
    static bool checkHeadTbleVersion(std::size_t recordOffset, const platform::ReadableBytes& font,
                                     const SourceEntry& source, std::uint64_t& revision);
    static bool checknameTblFontName(std::size_t recordOffset, const platform::ReadableBytes& font,
                                     const SourceEntry& source);

    // --- stages of the assembly (patch/) ---
    std::int32_t changeSerialNumber(const QString& path, _sfntHeader head, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index);
    std::int32_t setCheckSumAdjustment(const QString& path, _sfntHeader head, RevisionProgressProc proc, void* context,
                                       std::int32_t count, std::int32_t index);
    // `patch` is the source as the search listed it: the patch loaded must still carry the
    // font name and version that listing read from it.
    std::int32_t creatFontFileDiff(const QString& fontPath, const SourceEntry& patch, const QString& tempPath,
                                   RevisionProgressProc proc, void* context, std::int32_t count, std::int32_t index);

    // The largest new font a patch may make of an installed font of this length.
    static std::uint64_t newFontLengthBound(std::uint64_t installedLength);

    // --- the revision driver (patch/RevisionDriver.cpp) ---
    // `sources` answers which patch applies to the target and whether the bytes read are
    // still the target the search admitted.
    std::int32_t updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index, const SourceLookup& sources);
    std::int32_t loadOpenTypeDiff(const QString& path, RevisionProgressProc proc, void* context, std::int32_t count,
                                  std::int32_t index);
    // True when the file at `path` is as long as the image and its words add up to `sum`;
    // read through a buffer of its own, a piece at a time.
    bool compareFontData(const QString& path, std::uint32_t sum) const;

private:
    // The new font the patch describes is well formed: every directory slot filled by a
    // record of an installed table, each installed table once, every table inside the file,
    // on a word boundary, after the directory, and none over another. On true, `slotTables`
    // holds the table of each slot.
    bool newFontLayoutHolds(const MakeSabunData& patch, std::vector<TagObj*>& slotTables) const;
    // The assembly once the patch is loaded: the image built, checked and written.
    std::int32_t buildAndWriteImage(const QString& fontPath, const QString& name, const QString& tempPath,
                                    RevisionProgressProc proc, void* context, std::int32_t count, std::int32_t index);

    std::unique_ptr<platform::ReadableBytes> m_installed;  // the installed file, read where it lies
    std::vector<std::uint8_t> m_pReadData;                 // its offset table and directory
    std::int32_t m_fileLength = 0;
    std::vector<std::unique_ptr<TagObj>> m_TagArray;
    NameField m_SerialNumber{};
    NameField m_SerialNumberUni{};
    // Shared, so that this layer can hold and release the patch without knowing its type;
    // only the assembly makes one.
    std::shared_ptr<MakeSabunData> m_pSabunObject;
    ZeroedBuffer m_pWriteData;  // the new image
    std::uint32_t m_WriteLength = 0;
    _sfntHeader m_sfntHead{};
    std::uint32_t m_VerifyCheckSum = 0;
};

// The seventeen table tags a revisable font may contain, in order.
extern const char* const kAcceptedTags[17];

}  // namespace fr
