// The two stages of the assembly that finish the new font and report progress: the License
// Description strings carried over into its 'name', then the checksums.

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/LicenseStrings.h"
#include "fonttables/SfntLayout.h"
#include "patch/OpenTypeManager.h"
#include "platform/PathText.h"

#include <algorithm>

namespace fr {

namespace {
// The new table of this tag held in memory, or null.
template <typename Tables>
auto* heldTable(Tables& tables, const Tag& tag) {
    const auto it = std::find_if(tables.begin(), tables.end(),
                                 [&](const auto& t) { return t.record.tag == tag && !t.bytes.empty(); });
    return it == tables.end() ? nullptr : &*it;
}
}  // namespace

std::int32_t OpenTypeManager::changeSerialNumber(const FontProgress& progress) {
    auto* name = heldTable(m_newTables, Tag("name"));
    if (!name)
        return fail(result::kFontUnusable, progress.path, "name-table",
                    QStringLiteral("the new font has no 'name' table"));
    // Every License Description record is taken once, checked whole, before anything is
    // written: the table on its own, as if it began a font.
    const auto places = licenseSlots(name->bytes, {Tag("name"), 0, 0, static_cast<std::uint32_t>(name->bytes.size())});
    if (!places)
        return fail(result::kFontUnusable, progress.path, "name-table",
                    QStringLiteral("the License Description strings of the new 'name' table lie outside it or over its "
                                   "records"));

    if (progress.report(step::kSerialNumber, platform::lastPathComponent(progress.path))) return cancelled();

    writeLicenseStrings(name->bytes, *places, m_SerialNumber, m_SerialNumberUni);
    name->record.checksum = CommonTool::tableChecksum(name->bytes);
    if (!m_newFile->write(name->record.offset, name->bytes))
        return fail(result::kNewFileFailed, QString(), "temp-write",
                    QStringLiteral("the new font's 'name' table could not be written"));
    return result::kRevised;
}

std::int32_t OpenTypeManager::setCheckSumAdjustment(const FontProgress& progress) {
    auto* head = heldTable(m_newTables, Tag("head"));
    if (head && head->bytes.size() < sfnt::head::kAdjustmentEnd) head = nullptr;
    // The whole font's sum is the offset table's and the directory's words and every table's
    // checksum (the tables lie apart on word boundaries with zeros between them), the
    // adjustment taken as zero: nothing need be read again.
    std::uint32_t adjustment = 0;
    std::vector<std::uint8_t> directory(sfnt::recordAt(m_newTables.size()));
    if (head) {
        bytes::putU32(head->bytes, sfnt::head::kCheckSumAdjustment, 0);
        head->record.checksum = CommonTool::tableChecksum(head->bytes);
        writeOffsetTable(std::span(directory).first<sfnt::offset_table::kSize>(), m_installedFont.header());
        std::uint32_t sum = 0;
        for (std::size_t s = 0; s < m_newTables.size(); ++s) {
            writeTableRecord(directory, s, m_newTables[s].record);
            sum += m_newTables[s].record.checksum;
        }
        adjustment = sfnt::kWholeFontSum - (sum + CommonTool::tableChecksum(directory));
    }

    if (progress.report(step::kChecksum, platform::lastPathComponent(progress.path))) return cancelled();
    if (!head)
        return fail(result::kFontUnusable, progress.path, "new-font-tables",
                    QStringLiteral("the new font has no whole 'head' table"));
    bytes::putU32(head->bytes, sfnt::head::kCheckSumAdjustment, adjustment);
    if (!m_newFile->write(head->record.offset, head->bytes) || !m_newFile->write(0, directory))
        return fail(result::kNewFileFailed, QString(), "temp-write",
                    QStringLiteral("the new font's 'head' table and directory could not be written"));
    return result::kRevised;
}

}  // namespace fr
