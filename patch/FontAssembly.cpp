// Builds the new font image of one target from the installed font and its patch, and
// writes it to the temporary file. The installed file is never touched here.

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/ImageSum.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/MakeSabunData.h"
#include "patch/ProgressText.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace fr {

namespace {
// Far above any font this program revises (10 to 20 MB); a patch asking for more is not
// one of ours, and the image is never allocated for it.
constexpr std::uint32_t kLargestImage = 256u * 1024u * 1024u;

// Frees the image on every way out of the assembly.
struct ImageRelease {
    std::vector<std::uint8_t>& image;
    ~ImageRelease() { std::vector<std::uint8_t>().swap(image); }
};
}  // namespace

std::int32_t OpenTypeManager::creatFontFileDiff(const QString& fontPath, const QString& patchPath,
                                                const QString& tempPath, RevisionProgressProc proc, void* context,
                                                std::int32_t count, std::int32_t index) {
    ImageRelease release{m_pWriteData};
    const QString name = progress::fileName(patchPath);

    if (progress::report(proc, context, 40, count, index, fontPath, progress::openingLine(name)))
        return result::kCancelled;

    m_pSabunObject = std::make_unique<MakeSabunData>();
    if (!m_pSabunObject->loadSabunData(patchPath)) return result::kPatchLoadFailed;

    if (progress::report(proc, context, 55, count, index, fontPath, progress::readingLine(name)))
        return result::kCancelled;

    // The whole patch is checked against the installed model before anything is built or
    // written: every slot below tagNum has a record whose table the installed font has and
    // whose bytes lie inside the new file, after the offset table and directory.
    const _UPDATE_HEADER header = m_pSabunObject->getUpdateHeader();
    const std::size_t tagNum = header.tagNum;
    const std::size_t numTables = m_sfntHead.numTables;
    const std::uint64_t fontLength = header.font_length;
    if (tagNum > numTables || tagNum > m_TagArray.size()) return result::kFontUnusable;
    if (fontLength < kOffsetTableSize + kTableRecordSize * numTables || fontLength > kLargestImage)
        return result::kFontUnusable;

    std::vector<TagObj*> slotTables(tagNum, nullptr);
    for (std::size_t s = 0; s < tagNum; ++s) {
        const SabunTagObject* record = m_pSabunObject->getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (record == nullptr) return result::kFontUnusable;
        char tag[5] = {0, 0, 0, 0, 0};
        record->getTagName(tag);
        TagObj* table = getTagObjectName(tag);
        if (table == nullptr) return result::kFontUnusable;
        const _UPDATE_TAG_TABLE placement = record->getUpdateTagTable();
        if (std::uint64_t{placement.up_dataOffset} + placement.up_datalength > fontLength)
            return result::kFontUnusable;
        slotTables[s] = table;
    }
    // Each of the installed directory's first tagNum tables must be named exactly once, so
    // every slot gets one table and every table placed below has been built.
    for (std::size_t j = 0; j < tagNum; ++j) {
        const TagObj* installed = m_TagArray[j].get();
        if (std::count(slotTables.begin(), slotTables.end(), installed) != 1) return result::kFontUnusable;
    }

    for (std::size_t s = 0; s < tagNum; ++s) {
        const SabunTagObject* record = m_pSabunObject->getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (!slotTables[s]->createUpdateTagObject(*record)) return result::kFontUnusable;
    }

    m_WriteLength = header.font_length;
    try {
        // Zero up to the length rounded to four and a word beyond, so every checksum that
        // rounds a table's length up reads the image's own zero padding.
        m_pWriteData.assign(static_cast<std::size_t>(CommonTool::byte4_chk(static_cast<std::int32_t>(m_WriteLength))) + 4, 0);
    } catch (const std::bad_alloc&) {
        return result::kNewFileFailed;
    }
    const std::span<std::uint8_t> image(m_pWriteData.data(), m_WriteLength);

    // The offset table: the installed font's, byte for byte.
    std::memcpy(image.data(), &m_sfntHead.version, 4);
    bytes::putU16(image, 4, m_sfntHead.numTables);
    bytes::putU16(image, 6, m_sfntHead.searchRange);
    bytes::putU16(image, 8, m_sfntHead.entrySelector);
    bytes::putU16(image, 10, m_sfntHead.rangeShift);

    // The tables at the offsets the patch gives, their records in tablePos order.
    for (std::size_t j = 0; j < tagNum; ++j) {
        const TagObj& table = *m_TagArray[j];
        const _TableList r = table.getNewTableList();
        const std::size_t slot = static_cast<std::size_t>(table.getTableNum());
        if (r.length != 0) std::memcpy(image.data() + r.offset, table.getNewUpdateData(), r.length);
        const std::size_t at = kOffsetTableSize + kTableRecordSize * slot;
        std::memcpy(image.data() + at, r.tag, 4);
        bytes::putU32(image, at + 4, r.checksum);
        bytes::putU32(image, at + 8, r.offset);
        bytes::putU32(image, at + 12, r.length);
    }

    if (const std::int32_t code = changeSerialNumber(fontPath, m_sfntHead, proc, context, count, index);
        code != result::kRevised)
        return code;
    if (const std::int32_t code = setCheckSumAdjustment(fontPath, m_sfntHead, proc, context, count, index);
        code != result::kRevised)
        return code;

    if (progress::report(proc, context, 90, count, index, fontPath, progress::writingLine(name)))
        return result::kCancelled;

    // A fresh file only: a name someone took meanwhile, or a link planted there, fails.
    if (!platform::files().createExclusive(tempPath, image)) return result::kNewFileFailed;

    m_VerifyCheckSum += verificationSum(image, image.size());
    return result::kRevised;
}

}  // namespace fr
