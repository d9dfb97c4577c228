// Builds the new font image of one target from the installed font and its patch, and
// writes it to the temporary file. The installed file is never touched here.

#include "fonttables/CommonTool.h"
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
        // 'head' carries the whole-font sum, written into it last.
        if (table->tag() == Tag("head") && placement.up_datalength < sfnt::head::kAdjustmentEnd)
            return refuse(why, "layout-head",
                          QStringLiteral("table %1 of %2 bytes holds no whole-font checksum")
                              .arg(named)
                              .arg(placement.up_datalength));
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
    // The new file and the patch are let go on every way out; the file stays on the disk only
    // once it is complete and checked.
    struct Release {
        OpenTypeManager& manager;
        ~Release() {
            manager.m_newFile.reset();
            manager.m_newTables.clear();
            manager.m_pSabunObject.reset();
        }
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

    // What is not a complete, checked new font does not stay (a file left where it can't be
    // removed is cleared by the next run, as one an interrupted run left).
    const auto discardUnfinished = [&](std::int32_t code) {
        if (code != result::kRevised && m_newFile && !m_dryRun) {
            m_newFile.reset();
            m_files.remove(tempPath);
        }
        return code;
    };
    try {
        return discardUnfinished(buildAndWriteImage(progress, name, tempPath, expected));
    } catch (const std::bad_alloc&) {
        return discardUnfinished(
            fail(result::kNewFileFailed, progress.path, "image-memory", QStringLiteral("no memory for the new font")));
    }
}

std::int32_t OpenTypeManager::buildAndWriteImage(const FontProgress& progress, const QString& name,
                                                 const QString& tempPath, const ManifestEntry* expected) {
    const MakeSabunData& patch = *m_pSabunObject;
    // The whole patch is checked against the installed model before anything is made or
    // written; a patch that would make anything but a well-formed font is refused.
    std::vector<TagObj*> slotTables;
    Reason why;
    if (!newFontLayoutHolds(patch, slotTables, &why)) return fail(result::kFontUnusable, progress.path, why);
    for (std::size_t s = 0; s < slotTables.size(); ++s) {
        const SabunTagObject* record = patch.getSabunTagTableNum(static_cast<std::int32_t>(s));
        if (!slotTables[s]->recordHolds(*record, record->placement().length, &why))
            return fail(result::kFontUnusable, progress.path, why);
    }
    // With a manifest, the installed font must be the very revision the patch was made from
    // before anything is written.
    if (expected) {
        const auto installedTables = installedTableDigests(m_installedFont);
        if (!installedTables)
            return fail(result::kFontUnusable, progress.path, "font-unreadable",
                        QStringLiteral("its tables can't be read"));
        if (!sameTables(*installedTables, expected->oldTables))
            return fail(result::kFontUnusable, progress.path, "installed-digest",
                        QStringLiteral("%1 is not the installed revision the manifest lists for %2")
                            .arg(differingTables(*installedTables, expected->oldTables), name));
    }

    // A dry run makes the new font in memory; a revision in a fresh file only (a name someone
    // took meanwhile, or a link planted there, fails).
    const std::uint32_t length = patch.getUpdateHeader().font_length;
    m_newFile = m_dryRun ? std::make_unique<platform::NewFileInMemory>(length) : m_files.createNew(tempPath, length);
    if (!m_newFile)
        return fail(result::kNewFileFailed, tempPath, "temp-create",
                    QStringLiteral("the temporary file can't be made (taken meanwhile, or the disk is full)"));
    if (const std::int32_t code = writeTables(progress, slotTables); code != result::kRevised) return code;

    if (const std::int32_t code = changeSerialNumber(progress); code != result::kRevised) return code;
    // The file read back once: the tables' checksums for the directory, the new tables'
    // digests, and the file's own digest but for what is written last.
    TableDigests madeTables;
    Hasher written;
    if (!readBack(expected ? &madeTables : nullptr, written, why)) return fail(result::kNewFileFailed, tempPath, why);
    // With a manifest, the new font must be the revision the vendor made.
    if (expected && !sameTables(madeTables, expected->newTables))
        return fail(result::kNewFileFailed, progress.path, "new-digest",
                    QStringLiteral("%1 of the new font is not the revision the manifest lists for %2")
                        .arg(differingTables(madeTables, expected->newTables), name));
    if (const std::int32_t code = setCheckSumAdjustment(progress); code != result::kRevised) return code;
    // Every table is written: the patch has given all it holds, and the font check below is
    // the revision's largest need of memory.
    m_pSabunObject.reset();

    if (progress.report(step::kWriteImage, name)) return cancelled();

    // Nothing stays that is not a font a system will open: FreeType reads the file where it
    // lies, mapped.
    if (!newFontOpens(m_newFile->view(), m_installedFont.header().numTables, &why))
        return fail(result::kNewFileFailed, progress.path, why);
    if (m_dryRun) return result::kRevised;

    // What was written is known by its length and digest from here on; the directory and
    // 'head', written last, are digested last.
    const NewTable& head = *std::find_if(m_newTables.begin(), m_newTables.end(),
                                         [](const NewTable& t) { return t.record.tag == Tag("head"); });
    const std::uint64_t directoryEnd = sfnt::recordAt(m_newTables.size());
    m_written.length = length;
    m_written.late = {{head.record.offset, head.bytes.size()}, {0, directoryEnd}};
    written.update(head.bytes);
    std::vector<std::uint8_t> directory(directoryEnd);
    if (!m_newFile->readAt(0, directory))
        return fail(result::kNewFileFailed, tempPath, "temp-write", QStringLiteral("the new font can't be read back"));
    written.update(directory);
    m_written.digest = written.digest();
    if (!m_newFile->close())
        return fail(result::kNewFileFailed, tempPath, "temp-create",
                    QStringLiteral("the temporary file can't be made (taken meanwhile, or the disk is full)"));
    return result::kRevised;
}

std::int32_t OpenTypeManager::writeTables(const FontProgress& progress, const std::vector<TagObj*>& slotTables) {
    const MakeSabunData& patch = *m_pSabunObject;
    Reason why;
    m_newTables.assign(slotTables.size(), {});
    for (std::size_t s = 0; s < slotTables.size(); ++s) {
        const SabunTagObject* record = patch.getSabunTagTableNum(static_cast<std::int32_t>(s));
        const TableInstructions::Placement placement = record->placement();
        TagObj& table = *slotTables[s];
        NewTable& made = m_newTables[s];
        made.record = {table.tag(), 0, placement.offset, placement.length};
        // 'name' and 'head' change once built (the strings, the adjustment): made in memory.
        if (table.tag() == Tag("name") || table.tag() == Tag("head")) {
            made.bytes.resize(placement.length);
            if (!table.createUpdateTagObject(*record, made.bytes, &why))
                return fail(result::kFontUnusable, progress.path, why);
            continue;
        }
        switch (table.writeUpdateTagObject(*record, *m_newFile, &why)) {
        case TagObj::Written::Done:
            break;
        case TagObj::Written::Refused:
            return fail(result::kFontUnusable, progress.path, why);
        case TagObj::Written::Failed:
            return fail(result::kNewFileFailed, m_dryRun ? progress.path : QString(), why);
        }
    }
    return result::kRevised;
}

bool OpenTypeManager::readBack(TableDigests* newTables, Hasher& image, Reason& why) {
    constexpr std::uint64_t kPiece = 256 * 1024;
    // The tables by where they lie; 'head' is summed from memory and written later.
    std::vector<NewTable*> order;
    for (NewTable& t : m_newTables) order.push_back(&t);
    std::sort(order.begin(), order.end(),
              [](const NewTable* a, const NewTable* b) { return a->record.offset < b->record.offset; });
    const NewTable* head = nullptr;
    for (const NewTable* t : order)
        if (t->record.tag == Tag("head")) head = t;
    struct Sums {
        std::uint32_t checksum = 0;
        std::unique_ptr<Hasher> digest;
    };
    std::vector<Sums> sums(order.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        if (newTables && isDigested(order[k]->record.tag) && order[k] != head)
            sums[k].digest = std::make_unique<Hasher>();

    const std::uint64_t size = m_newFile->size();
    const std::uint64_t skipFrom = head ? head->record.offset : size,
                        skipTo = head ? skipFrom + head->bytes.size() : size;
    const platform::PieceBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size)));
    std::size_t k = 0;  // the first table that may overlap the next piece
    for (std::uint64_t at = sfnt::recordAt(order.size()); at < size;) {
        if (at == skipFrom && skipTo > skipFrom) {
            at = skipTo;
            continue;
        }
        // Pieces end on multiples of their size (so each table's part starts on a word
        // boundary), or where 'head' begins.
        const std::uint64_t end = std::min({(at / kPiece + 1) * kPiece, size, at < skipFrom ? skipFrom : size});
        const auto piece = buffer.first(static_cast<std::size_t>(end - at));
        if (!m_newFile->readAt(at, piece)) {
            why = {QStringLiteral("temp-write"), QStringLiteral("the new font can't be read back")};
            return false;
        }
        image.update(piece);
        // Each table's part of the piece: only a table's last part may end off a word boundary.
        while (k < order.size() && order[k]->record.offset + std::uint64_t{order[k]->record.length} <= at) ++k;
        for (std::size_t j = k; j < order.size() && order[j]->record.offset < end; ++j) {
            const TableRecord& r = order[j]->record;
            if (order[j] == head) continue;
            const std::uint64_t from = std::max<std::uint64_t>(at, r.offset),
                                to = std::min<std::uint64_t>(end, r.offset + std::uint64_t{r.length});
            if (from >= to) continue;
            const auto part = piece.subspan(static_cast<std::size_t>(from - at), static_cast<std::size_t>(to - from));
            sums[j].checksum += CommonTool::tableChecksum(part);
            if (sums[j].digest) sums[j].digest->update(part);
        }
        at = end;
    }
    for (std::size_t j = 0; j < order.size(); ++j) {
        NewTable& t = *order[j];
        if (&t == head) continue;
        // 'name' was summed as it was written; the read back must agree with it.
        if (!t.bytes.empty() && t.record.checksum != sums[j].checksum) {
            why = {QStringLiteral("temp-write"), QStringLiteral("the new font's 'name' table reads back otherwise")};
            return false;
        }
        t.record.checksum = sums[j].checksum;
        if (sums[j].digest) newTables->emplace_back(t.record.tag, sums[j].digest->digest());
    }
    if (newTables && head) newTables->emplace_back(head->record.tag, tableDigest(head->record.tag, head->bytes));
    return true;
}

}  // namespace fr
