// Builds the new font image of one target from the installed font and its patch, and
// writes it to the temporary file. The installed file is never touched here.

#include "fonttables/FontOpens.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "patch/OpenTypeManager.h"
#include "platform/NativePath.h"
#include "platform/PathText.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace fr {

namespace {
// The loaded patch still names the font and version the source listing read from it: the
// file was not swapped for another between the listing and this load.
bool isTheListedPatch(const _UPDATE_HEADER& header, const SourceEntry& listed) {
    const auto name = platform::decodeZeroTerminatedUtf8(
        std::span(reinterpret_cast<const std::uint8_t*>(header.font_name), sizeof header.font_name));
    return header.font_version == listed.version && name == listed.fontname;
}
}  // namespace

bool OpenTypeManager::newFontLayoutHolds(const MakeSabunData& patch, std::vector<TagObj*>& slotTables,
                                         Reason* why) const {
    const _UPDATE_HEADER header = patch.getUpdateHeader();
    const std::size_t numTables = m_installedFont.header().numTables;
    const auto& installed = m_installedFont.tables();
    const std::uint64_t fontLength = header.font_length;
    // Every slot of the new directory gets a record, and the file holds the directory.
    if (header.tagNum != numTables || numTables != installed.size())
        return refuse(
            why, "layout-records",
            QStringLiteral("the patch has %1 table records for a font of %2 tables").arg(header.tagNum).arg(numTables));
    const std::uint64_t directoryEnd = sfnt::recordAt(numTables);
    if (fontLength < directoryEnd || fontLength > MakeSabunData::largestNewFont(m_installedFont.bytes().size()))
        return refuse(why, "layout-length",
                      QStringLiteral("a new font of %1 bytes from an installed one of %2")
                          .arg(fontLength)
                          .arg(m_installedFont.bytes().size()));

    slotTables.assign(numTables, nullptr);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // offset, end
    for (std::size_t s = 0; s < numTables; ++s) {
        const SabunTagObject* record = patch.getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (record == nullptr)
            return refuse(why, "layout-records", QStringLiteral("no table record for slot %1").arg(s));
        char tag[5] = {0, 0, 0, 0, 0};
        record->getTagName(tag);
        const QString named =
            quoted(Tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(tag), 4)));
        TagObj* table = getTagObjectName(tag);
        if (table == nullptr)
            return refuse(why, "table-missing",
                          QStringLiteral("the patch names table %1, which the font lacks").arg(named));
        const _UPDATE_TAG_TABLE placement = record->getUpdateTagTable();
        const std::uint64_t offset = placement.up_dataOffset, end = offset + placement.up_datalength;
        // Inside the file, after the offset table and the directory, on a word boundary.
        if (offset < directoryEnd || end > fontLength)
            return refuse(
                why, "layout-outside",
                QStringLiteral("table %1 (offset %2, %3 bytes) lies %4")
                    .arg(named)
                    .arg(offset)
                    .arg(placement.up_datalength)
                    .arg(offset < directoryEnd ? QStringLiteral("over the offset table or the directory")
                                               : QStringLiteral("past the new font's end at %1").arg(fontLength)));
        if (offset % 4 != 0)
            return refuse(why, "layout-alignment",
                          QStringLiteral("table %1 at %2, off a word boundary").arg(named).arg(offset));
        extents.emplace_back(offset, end);
        slotTables[s] = table;
    }
    // Each installed table is named exactly once: every slot gets one table.
    for (const auto& table : installed)
        if (std::count(slotTables.begin(), slotTables.end(), table.get()) != 1)
            return refuse(why, "layout-records",
                          QStringLiteral("table %1 is not named once").arg(quoted(table->tag())));
    // No table over another (a table's padding up to the next word is its own too).
    std::sort(extents.begin(), extents.end());
    for (std::size_t k = 1; k < extents.size(); ++k)
        if (extents[k].first < extents[k - 1].second)
            return refuse(why, "layout-overlap",
                          QStringLiteral("the tables at %1 and %2 lie over one another")
                              .arg(extents[k - 1].first)
                              .arg(extents[k].first));
    return true;
}

std::int32_t OpenTypeManager::creatFontFileDiff(const FontProgress& progress, const SourceEntry& source,
                                                const QString& tempPath) {
    // The image is freed on every way out.
    struct ImageRelease {
        OpenTypeManager& manager;
        ~ImageRelease() { manager.releaseImage(); }
    } const release{*this};
    const QString name = platform::lastPathComponent(source.fullpath);

    if (progress.report(step::kOpenPatch, name)) return cancelled();

    // With a manifest, the patch is the one the vendor signed: its bytes, read once, have the
    // listed SHA-256.
    const ManifestEntry* expected = source.manifest.get();
    try {
        m_pSabunObject = std::make_unique<MakeSabunData>();
        if (!m_pSabunObject->loadSabunData(m_files, source.fullpath,
                                           MakeSabunData::largestNewFont(m_installedFont.bytes().size()),
                                           expected ? &expected->sha256 : nullptr))
            return fail(result::kPatchLoadFailed, source.fullpath, m_pSabunObject->problem());
        if (!isTheListedPatch(m_pSabunObject->getUpdateHeader(), source))
            return fail(result::kPatchLoadFailed, source.fullpath, "patch-other-font",
                        QStringLiteral("no longer the patch for %1 version %2 that the search listed")
                            .arg(source.fontname.value_or(QString()))
                            .arg(source.version));
    } catch (const std::bad_alloc&) {
        return fail(result::kPatchLoadFailed, source.fullpath, "patch-memory", QStringLiteral("no memory to hold it"));
    }

    if (progress.report(step::kPatchLoaded, name)) return cancelled();

    try {
        return buildAndWriteImage(progress, name, tempPath, expected);
    } catch (const std::bad_alloc&) {
        return fail(result::kNewFileFailed, progress.path, "image-memory",
                    QStringLiteral("no memory for the new font"));
    }
}

std::int32_t OpenTypeManager::buildAndWriteImage(const FontProgress& progress, const QString& name,
                                                 const QString& tempPath, const ManifestEntry* expected) {
    const MakeSabunData& patch = *m_pSabunObject;
    // The whole patch is checked against the installed model before anything is allocated,
    // built or written; a patch that would make anything but a well-formed font is refused.
    std::vector<TagObj*> slotTables;
    Reason why;
    if (!newFontLayoutHolds(patch, slotTables, &why)) return fail(result::kFontUnusable, progress.path, why);

    if (!allocateImage(patch.getUpdateHeader().font_length))
        return fail(result::kNewFileFailed, progress.path, "image-memory",
                    QStringLiteral("no memory for a new font of %1 bytes").arg(patch.getUpdateHeader().font_length));
    const std::span<std::uint8_t> out = image();

    // The offset table: the installed font's, byte for byte.
    writeOffsetTable(out.first<sfnt::offset_table::kSize>(), m_installedFont.header());

    // Each table built straight into its place, its record in its slot.
    for (std::size_t s = 0; s < slotTables.size(); ++s) {
        const SabunTagObject* record = patch.getSabunTagTableNum(static_cast<std::int32_t>(s));
        const _UPDATE_TAG_TABLE placement = record->getUpdateTagTable();
        TagObj& table = *slotTables[s];
        if (!table.createUpdateTagObject(*record, out.subspan(placement.up_dataOffset, placement.up_datalength), &why))
            return fail(result::kFontUnusable, progress.path, why);
        const _TableList r = table.getNewTableList();
        writeTableRecord(out, s, {table.tag(), r.checksum, r.offset, r.length});
    }
    // With a manifest, the installed font must be the very revision the patch was made from,
    // and the new one the revision the vendor made, before anything is written.
    if (expected) {
        const auto installedTables = installedTableDigests(m_installedFont);
        if (!installedTables)
            return fail(result::kFontUnusable, progress.path, "font-unreadable",
                        QStringLiteral("its tables can't be read"));
        if (!sameTables(*installedTables, expected->oldTables))
            return fail(result::kFontUnusable, progress.path, "installed-digest",
                        QStringLiteral("%1 is not the installed revision the manifest lists for %2")
                            .arg(differingTables(*installedTables, expected->oldTables), name));
        const TableDigests madeTables = imageTableDigests(out, slotTables.size());
        if (!sameTables(madeTables, expected->newTables))
            return fail(result::kNewFileFailed, progress.path, "new-digest",
                        QStringLiteral("%1 of the new font is not the revision the manifest lists for %2")
                            .arg(differingTables(madeTables, expected->newTables), name));
    }
    // Every table is built: the patch has given all it holds, and the font check below is the
    // revision's largest need of memory.
    m_pSabunObject.reset();

    if (const std::int32_t code = changeSerialNumber(progress); code != result::kRevised) return code;
    if (const std::int32_t code = setCheckSumAdjustment(progress); code != result::kRevised) return code;

    if (progress.report(step::kWriteImage, name)) return cancelled();

    // Nothing is written that is not a font a system will open.
    if (!newFontOpens(out, m_installedFont.header().numTables, &why))
        return fail(result::kNewFileFailed, progress.path, why);
    if (m_dryRun) return result::kRevised;

    // What is written is known by its length and digest from here on. A fresh file only: a
    // name someone took meanwhile, or a link planted there, fails.
    m_written = writtenImageOf(out);
    if (!m_files.createExclusive(tempPath, out))
        return fail(result::kNewFileFailed, tempPath, "temp-create",
                    QStringLiteral("the temporary file can't be made (taken meanwhile, or the disk is full)"));
    return result::kRevised;
}

}  // namespace fr
