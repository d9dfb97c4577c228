// The two stages of the assembly that work on the finished image and report progress: the
// License Description strings carried over, then the checksums.

#include "fonttables/LicenseStrings.h"
#include "fonttables/OpenTypeManager.h"
#include "fonttables/WholeFontChecksum.h"
#include "patch/ProgressText.h"
#include "platform/PathText.h"

namespace fr {

std::int32_t OpenTypeManager::changeSerialNumber(const QString& path, _sfntHeader head, RevisionProgressProc proc,
                                                 void* context, std::int32_t count, std::int32_t index) {
    const std::span<std::uint8_t> out = image();
    const auto name = findNameRecord(out, head.numTables);
    if (!name) return result::kFontUnusable;
    // Every License Description record is taken once, checked whole, before anything is
    // written.
    const auto places = licenseSlots(out, name->record);
    if (!places) return result::kFontUnusable;

    if (progress::report(proc, context, step::kSerialNumber, count, index, path,
                         progress::serialNumberLine(platform::lastPathComponent(path))))
        return result::kCancelled;

    writeLicenseStrings(out, *places, m_SerialNumber, m_SerialNumberUni);
    refreshTableChecksum(out, *name);
    return result::kRevised;
}

std::int32_t OpenTypeManager::setCheckSumAdjustment(const QString& path, _sfntHeader head, RevisionProgressProc proc,
                                                    void* context, std::int32_t count, std::int32_t index) {
    const std::span<std::uint8_t> out = image();
    const auto headTable = findHeadRecord(out, head.numTables);
    const std::uint32_t adjustment = headTable ? prepareAdjustment(out, *headTable) : 0;

    if (progress::report(proc, context, step::kChecksum, count, index, path,
                         progress::checksumLine(platform::lastPathComponent(path))))
        return result::kCancelled;
    if (!headTable) return result::kFontUnusable;
    storeAdjustment(out, *headTable, adjustment);
    return result::kRevised;
}

}  // namespace fr
