#include "fonttables/WholeFontChecksum.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <algorithm>

namespace fr {

std::optional<FoundTable> findHeadRecord(std::span<const std::uint8_t> image, std::size_t numTables) {
    const auto found = findTable(image, numTables, Tag("head"));
    if (!found || !tableBytes(image, found->record) || found->record.length < sfnt::head::kAdjustmentEnd)
        return std::nullopt;
    return found;
}

std::uint32_t prepareAdjustment(std::span<std::uint8_t> image, const FoundTable& head, std::size_t numTables) {
    bytes::putU32(image, std::size_t{head.record.offset} + sfnt::head::kCheckSumAdjustment, 0);
    refreshTableChecksum(image, head);
    const std::size_t directoryEnd = std::min(sfnt::recordAt(numTables), image.size());
    std::uint32_t sum = CommonTool::tableChecksum(image.first(directoryEnd));
    for (std::size_t i = 0; i < numTables; ++i)
        if (const auto record = readTableRecord(image, i)) sum += record->checksum;
    return sfnt::kWholeFontSum - sum;
}

void storeAdjustment(std::span<std::uint8_t> image, const FoundTable& head, std::uint32_t adjustment) {
    bytes::putU32(image, std::size_t{head.record.offset} + sfnt::head::kCheckSumAdjustment, adjustment);
}

}  // namespace fr
