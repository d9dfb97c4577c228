#pragma once
// A patch file in memory: its bytes, its header and its table records, whose instructions are
// read from those bytes where they stand.

#include "patch/PatchManifest.h"
#include "patch/SabunRecords.h"
#include "platform/Files.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace fr {

class MakeSabunData {
public:
    MakeSabunData();
    MakeSabunData(const MakeSabunData&) = delete;
    MakeSabunData& operator=(const MakeSabunData&) = delete;

    // True when the file at `path` is a patch file (magic "SBDF" and at least the 40 header
    // bytes read here); then `name255` (zero-filled by the caller, at least 255 bytes) holds
    // font_name and `version` font_version. Otherwise neither is written.
    static bool checkSabunData(const platform::Files& files, const QString& path, char* name255, std::uint32_t& version,
                               Reason* why = nullptr);

    // Reads the whole patch. Its header is read first: a file larger than any patch of the
    // new font it describes (at most `largestNewFont` bytes) could be is refused before the
    // rest is read. False for an unreadable, empty or larger file, when memory for it can't be
    // had, and for a patch whose layout does not hold (see loadSabunBytes).
    // With `expected`, the bytes read must have that SHA-256: they are checked as they are
    // used, read once.
    bool loadSabunData(const platform::Files& files, const QString& path, std::uint64_t largestNewFont,
                       const Sha256* expected = nullptr);
    // The largest patch that can describe a new font of `newFontLength` bytes: its header,
    // 255 records and their counts, and an instruction for every byte of the new font (an
    // old copy of 12 bytes, or new data of 8 bytes and its byte); a larger file has
    // instructions that describe nothing.
    static std::uint64_t largestPatch(std::uint64_t newFontLength);
    // The largest new font a patch may make of an installed font of this length: a revision
    // does not double a font, so the new font's memory stays bounded by the installed one's
    // real size, whatever a patch claims, and never above 256 MB (far above any font this
    // program revises, 10 to 20 MB).
    static std::uint64_t largestNewFont(std::uint64_t installedLength) {
        constexpr std::uint64_t kLargestImage = 256u * 1024u * 1024u;
        return std::min(kLargestImage, 2 * installedLength + (1u << 20));
    }
    // The same from bytes already in memory. Every record is checked before any instruction
    // is read: each names its own slot of the new directory and its own tag, and a block
    // starts behind the records, inside the file, at no other record's block. Each block must
    // then end before the next one begins. Nothing stays loaded after a failure.
    bool loadSabunBytes(std::vector<std::uint8_t> bytes);

    _UPDATE_HEADER getUpdateHeader() const { return m_UpdateHeader; }
    // Why the last load failed (the path not included).
    const Reason& problem() const { return m_problem; }
    // The first record whose tablePos equals `slot`, or null.
    const SabunTagObject* getSabunTagTableNum(std::int32_t slot) const;

private:
    bool loadRecords();

    std::vector<std::uint8_t> m_pReadData;  // the file
    std::int32_t m_fileLength = 0;
    _UPDATE_HEADER m_UpdateHeader{};
    std::vector<std::unique_ptr<SabunTagObject>> m_SabunTagArray;
    Reason m_problem;
};

}  // namespace fr
