#pragma once
// Records and callback types shared by the whole engine.

#include <QString>

#include <cstddef>
#include <cstdint>

namespace fr {

// Sizes of the sfnt structures every reader and writer walks.
constexpr std::size_t kOffsetTableSize = 12;  // the offset table before the directory
constexpr std::size_t kTableRecordSize = 16;  // one directory record
constexpr std::size_t kNameHeaderSize = 6;    // 'name' format, count, stringOffset
constexpr std::size_t kNameRecordSize = 12;   // one 'name' record
constexpr std::size_t kNameFieldSize = 255;   // the fixed buffers that hold one name string

// A font's offset table in memory: `version` as the four bytes stand in the file, the rest
// in host order.
struct _sfntHeader {
    std::int32_t version = 0;
    std::uint16_t numTables = 0;
    std::uint16_t searchRange = 0;
    std::uint16_t entrySelector = 0;
    std::uint16_t rangeShift = 0;
};

// One table record in memory: the tag as stored, the numbers in host order.
struct _TableList {
    char tag[4] = {0, 0, 0, 0};
    std::uint32_t checksum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// Revision result codes.
namespace result {
constexpr std::int32_t kRevised = 0;
constexpr std::int32_t kFontUnusable = 2;
constexpr std::int32_t kCancelled = 6;
constexpr std::int32_t kPatchLoadFailed = 7;
constexpr std::int32_t kNewFileFailed = 8;
constexpr std::int32_t kNotReplaceable = 10;
constexpr std::int32_t kCopyFailed = 11;
constexpr std::int32_t kTempNotRemovable = 12;
}  // namespace result

// Called on the revision worker at each progress point: overall and step percentages, the
// two progress lines, the caller's context. True means the user confirmed a cancel.
using RevisionProgressProc = bool (*)(std::int32_t overall, std::int32_t step, const QString& line1,
                                      const QString& line2, void* context);

// Called on the search worker with the folder about to be entered. True stops the search.
using SearchStatusProc = bool (*)(const QString& path, void* context);

// The overall percentage of a progress point: step S of target i among n.
constexpr std::int32_t overallPercent(std::int32_t step, std::int32_t count, std::int32_t index) {
    return step / count + index * 100 / count;
}

}  // namespace fr
