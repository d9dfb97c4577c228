// The 'head' table's checksum and the whole font's checkSumAdjustment: the last change made
// to a new image before it is written.

#include "fonttables/ByteReader.h"
#include "fonttables/ImageSum.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/ProgressText.h"

#include <algorithm>
#include <cstring>

namespace fr {

namespace {
constexpr std::size_t kAdjustmentAt = 8;  // checkSumAdjustment inside 'head'
constexpr std::uint32_t kWholeFontSum = 0xB1B0AFBA;
}  // namespace

std::int32_t OpenTypeManager::setCheckSumAdjustment(const QString& path, _sfntHeader head, RevisionProgressProc proc,
                                                    void* context, std::int32_t count, std::int32_t index) {
    const std::size_t imageLength = std::min<std::size_t>(m_WriteLength, m_pWriteData.size());
    const std::span<std::uint8_t> image(m_pWriteData.data(), imageLength);
    const bytes::Reader in(image);

    // The first 'head' record of the new directory; it counts only when its table lies in
    // the image and holds the adjustment field, so nothing is written outside the table.
    std::optional<std::size_t> recordAt;
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < head.numTables; ++i) {
        const std::size_t at = kOffsetTableSize + kTableRecordSize * i;
        if (!in.has(at, kTableRecordSize)) break;
        if (std::memcmp(image.data() + at, "head", 4) != 0) continue;
        offset = *in.u32(at + 8);
        const std::uint32_t length = *in.u32(at + 12);
        if (in.has(offset, length) && length >= kAdjustmentAt + 4) recordAt = at;
        break;
    }

    std::uint32_t adjustment = 0;
    if (recordAt) {
        bytes::putU32(image, std::size_t{offset} + kAdjustmentAt, 0);
        const std::uint32_t length = *in.u32(*recordAt + 12);
        bytes::putU32(image, *recordAt + 4, paddedTableSum(image, offset, length));
        // The whole image up to its length rounded to four, the padding counted as zero.
        adjustment = kWholeFontSum - paddedTableSum(image, 0, static_cast<std::uint32_t>(imageLength));
    }

    if (progress::report(proc, context, 75, count, index, path, progress::checksumLine(progress::fileName(path))))
        return result::kCancelled;
    if (!recordAt) return result::kFontUnusable;

    bytes::putU32(image, std::size_t{offset} + kAdjustmentAt, adjustment);
    return result::kRevised;
}

}  // namespace fr
