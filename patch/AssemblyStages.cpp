// The two stages of the assembly that work on the finished image and report progress: the
// License Description strings carried over, then the checksums.

#include "fonttables/LicenseStrings.h"
#include "fonttables/WholeFontChecksum.h"
#include "patch/OpenTypeManager.h"
#include "platform/PathText.h"

namespace fr {

std::int32_t OpenTypeManager::changeSerialNumber(const FontProgress& progress) {
    const std::span<std::uint8_t> out = image();
    const auto name = findNameRecord(out, m_installedFont.header().numTables);
    if (!name)
        return fail(result::kFontUnusable, progress.path, "name-table",
                    QStringLiteral("the new font has no 'name' table"));
    // Every License Description record is taken once, checked whole, before anything is
    // written.
    const auto places = licenseSlots(out, name->record);
    if (!places)
        return fail(result::kFontUnusable, progress.path, "name-table",
                    QStringLiteral("the License Description strings of the new 'name' table lie outside it or over its "
                                   "records"));

    if (progress.report(step::kSerialNumber, platform::lastPathComponent(progress.path)))
        return cancelled();

    writeLicenseStrings(out, *places, m_SerialNumber, m_SerialNumberUni);
    refreshTableChecksum(out, *name);
    return result::kRevised;
}

std::int32_t OpenTypeManager::setCheckSumAdjustment(const FontProgress& progress) {
    const std::span<std::uint8_t> out = image();
    const auto headTable = findHeadRecord(out, m_installedFont.header().numTables);
    const std::uint32_t adjustment =
        headTable ? prepareAdjustment(out, *headTable, m_installedFont.header().numTables) : 0;

    if (progress.report(step::kChecksum, platform::lastPathComponent(progress.path)))
        return cancelled();
    if (!headTable)
        return fail(result::kFontUnusable, progress.path, "new-font-tables",
                    QStringLiteral("the new font has no whole 'head' table"));
    storeAdjustment(out, *headTable, adjustment);
    return result::kRevised;
}

}  // namespace fr
