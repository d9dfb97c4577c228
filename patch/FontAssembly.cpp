// Builds the new font image of one target from the installed font and its patch, and
// writes it to the temporary file. The installed file is never touched here.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "patch/MakeSabunData.h"
#include "patch/ProgressText.h"
#include "platform/PathText.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>

namespace fr {

namespace {
// Far above any font this program revises (10 to 20 MB); a patch asking for more is not
// one of ours, and the image is never allocated for it.
constexpr std::uint32_t kLargestImage = 256u * 1024u * 1024u;

// Frees the image on every way out of the assembly.
struct ImageRelease {
    OpenTypeManager& manager;
    ~ImageRelease() { manager.releaseImage(); }
};
}  // namespace

std::int32_t OpenTypeManager::creatFontFileDiff(const QString& fontPath, const QString& patchPath,
                                                const QString& tempPath, RevisionProgressProc proc, void* context,
                                                std::int32_t count, std::int32_t index) {
    const ImageRelease release{*this};
    const QString name = platform::lastPathComponent(patchPath);

    if (progress::report(proc, context, step::kOpenPatch, count, index, fontPath, progress::openingLine(name)))
        return result::kCancelled;

    auto patch = std::make_shared<MakeSabunData>();
    m_pSabunObject = patch;
    if (!patch->loadSabunData(patchPath)) return result::kPatchLoadFailed;

    if (progress::report(proc, context, step::kPatchLoaded, count, index, fontPath, progress::readingLine(name)))
        return result::kCancelled;

    // The whole patch is checked against the installed model before anything is built or
    // written: every slot below tagNum has a record whose table the installed font has and
    // whose bytes lie inside the new file, after the offset table and directory.
    const _UPDATE_HEADER header = patch->getUpdateHeader();
    const std::size_t tagNum = header.tagNum;
    const std::size_t numTables = m_sfntHead.numTables;
    const std::uint64_t fontLength = header.font_length;
    if (tagNum > numTables || tagNum > m_TagArray.size()) return result::kFontUnusable;
    if (fontLength < sfnt::recordAt(numTables) || fontLength > kLargestImage) return result::kFontUnusable;

    std::vector<TagObj*> slotTables(tagNum, nullptr);
    for (std::size_t s = 0; s < tagNum; ++s) {
        const SabunTagObject* record = patch->getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (record == nullptr) return result::kFontUnusable;
        char tag[5] = {0, 0, 0, 0, 0};
        record->getTagName(tag);
        TagObj* table = getTagObjectName(tag);
        if (table == nullptr) return result::kFontUnusable;
        const _UPDATE_TAG_TABLE placement = record->getUpdateTagTable();
        if (std::uint64_t{placement.up_dataOffset} + placement.up_datalength > fontLength) return result::kFontUnusable;
        slotTables[s] = table;
    }
    // Each of the installed directory's first tagNum tables must be named exactly once, so
    // every slot gets one table and every table placed below has been built.
    for (std::size_t j = 0; j < tagNum; ++j) {
        const TagObj* installed = m_TagArray[j].get();
        if (std::count(slotTables.begin(), slotTables.end(), installed) != 1) return result::kFontUnusable;
    }

    for (std::size_t s = 0; s < tagNum; ++s) {
        const SabunTagObject* record = patch->getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (!slotTables[s]->createUpdateTagObject(*record)) return result::kFontUnusable;
    }

    if (!allocateImage(header.font_length)) return result::kNewFileFailed;
    const std::span<std::uint8_t> out = image();

    // The offset table: the installed font's, byte for byte.
    writeOffsetTable(out.first<sfnt::offset_table::kSize>(), m_sfntHead);

    // The tables at the offsets the patch gives, their records in tablePos order.
    for (std::size_t j = 0; j < tagNum; ++j) {
        const TagObj& table = *m_TagArray[j];
        const _TableList r = table.getNewTableList();
        const std::span<const std::uint8_t> bytes = table.newTable();
        if (!bytes.empty()) std::memcpy(out.data() + r.offset, bytes.data(), bytes.size());
        writeTableRecord(out, static_cast<std::size_t>(table.getTableNum()),
                         {table.tag(), r.checksum, r.offset, r.length});
    }

    if (const std::int32_t code = changeSerialNumber(fontPath, m_sfntHead, proc, context, count, index);
        code != result::kRevised)
        return code;
    if (const std::int32_t code = setCheckSumAdjustment(fontPath, m_sfntHead, proc, context, count, index);
        code != result::kRevised)
        return code;

    if (progress::report(proc, context, step::kWriteImage, count, index, fontPath, progress::writingLine(name)))
        return result::kCancelled;

    // A fresh file only: a name someone took meanwhile, or a link planted there, fails.
    if (!platform::files().createExclusive(tempPath, out)) return result::kNewFileFailed;

    m_VerifyCheckSum += CommonTool::tableChecksum(out);
    return result::kRevised;
}

}  // namespace fr
