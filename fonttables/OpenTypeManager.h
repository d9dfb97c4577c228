#pragma once
// The engine that judges and revises one installed font. One class; its operations are
// defined beside the subsystem that owns them: the table model and lookups in fonttables/,
// the identity checks in discovery/, the revision driver and assembly in patch/, the name
// carry-over and checksums in fonttables/.

#include "fonttables/FontTypes.h"
#include "fonttables/OpenTypeObj.h"
#include "fonttables/TagObj.h"

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
    OpenTypeManager();
    ~OpenTypeManager() override;

    // --- table model (fonttables/OpenTypeManager.cpp) ---
    // Builds m_TagArray from m_pReadData over m_sfntHead.numTables records: 0, or 2 for a tag
    // outside the accepted list or a directory or table that lies outside the file.
    std::int32_t buildTagObjects();
    TagObj* getTagObjectName(const char* tag) const;
    TagObj* getTagObjectIndex(std::int32_t index) const;
    // Takes the installed font's bytes (as the load step reads them): m_pReadData holds them
    // and one zero byte, m_fileLength their length.
    void setReadData(std::vector<std::uint8_t> bytes);

    // --- identity checks (discovery/IdentityChecks.cpp) ---
    bool checkOpenTypeVersion(const QString& path, const SourceEntry& source, std::uint64_t& revision) const;
    // The same checks on a file's bytes already in memory (patch/RevisionDriver.cpp).
    bool checkOpenTypeVersion(std::span<const std::uint8_t> bytes, const SourceEntry& source,
                              std::uint64_t& revision) const;
    static bool checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out);
    // `recordOffset` is the table record's position in `bytes`.
    static bool checkHeadTbleVersion(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                     const SourceEntry& source, std::uint64_t& revision);
    static bool checknameTblFontName(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                     const SourceEntry& source);

    // --- name carry-over (fonttables/NameCarryOver.cpp) ---
    bool getSerialNumber(std::array<std::uint8_t, 255>& mac, std::array<std::uint8_t, 255>& windows) const;
    std::int32_t changeSerialNumber(const QString& path, _sfntHeader head, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index);

    // --- checksums (fonttables/CheckSumAdjustment.cpp) ---
    std::int32_t setCheckSumAdjustment(const QString& path, _sfntHeader head, RevisionProgressProc proc,
                                       void* context, std::int32_t count, std::int32_t index);

    // --- assembly and driver (patch/) ---
    std::int32_t creatFontFileDiff(const QString& fontPath, const QString& patchPath, const QString& tempPath,
                                   RevisionProgressProc proc, void* context, std::int32_t count, std::int32_t index);
    std::int32_t updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index);
    // The same with the sources looked up in `sources` instead of the discovery singleton.
    std::int32_t updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                    std::int32_t count, std::int32_t index, const SourceLookup& sources);
    std::int32_t loadOpenTypeDiff(const QString& path, RevisionProgressProc proc, void* context, std::int32_t count,
                                  std::int32_t index);
    bool compareFontData(const QString& path, std::uint32_t sum) const;

    // The engine's state: open to the stages of one revision and to their tests.
    std::vector<std::uint8_t> m_pReadData;  // installed file and one zero byte
    std::int32_t m_fileLength = 0;
    std::vector<std::unique_ptr<TagObj>> m_TagArray;
    std::array<std::uint8_t, 255> m_SerialNumber{};
    std::array<std::uint8_t, 255> m_SerialNumberUni{};
    std::unique_ptr<MakeSabunData> m_pSabunObject;
    std::vector<std::uint8_t> m_pWriteData;  // new image, zero up to its length rounded to four
    std::uint32_t m_WriteLength = 0;
    _sfntHeader m_sfntHead{};
    std::uint32_t m_VerifyCheckSum = 0;
};

// The seventeen table tags a revisable font may contain, in order.
extern const char* const kAcceptedTags[17];

}  // namespace fr
