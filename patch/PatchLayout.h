#pragma once
// The patch file format: each structure's size and field offsets, stated once. Every
// number wider than a byte is a big-endian unsigned 32-bit integer; fields follow each
// other without padding.

#include <cstddef>

namespace fr::patchfile {

// At the start of the file.
namespace header {
constexpr std::size_t kMagic = 0;  // "SBDF"
constexpr std::size_t kFontName = 4;
constexpr std::size_t kFontNameSize = 32;
constexpr std::size_t kFontVersion = 36;
constexpr std::size_t kFontLength = 40;  // length of the new font file
constexpr std::size_t kTagNum = 44;      // one byte: the number of table records
constexpr std::size_t kCreateTime = 45;
constexpr std::size_t kCreateTimeSize = 8;
constexpr std::size_t kSize = 53;
// What the source listing reads: the magic, the name and the version.
constexpr std::size_t kListedSize = 40;
}  // namespace header

// The table records, directly behind the header.
namespace record {
constexpr std::size_t kName = 0;         // the table's tag
constexpr std::size_t kTablePos = 4;     // one byte: its slot in the new directory
constexpr std::size_t kDataPos = 5;      // one byte, carried along
constexpr std::size_t kSabunOffset = 6;  // its instruction block, or 0
constexpr std::size_t kUpDataLength = 10;
constexpr std::size_t kUpDataOffset = 14;
constexpr std::size_t kSize = 18;
}  // namespace record
constexpr std::size_t recordAt(std::size_t k) { return header::kSize + record::kSize * k; }

// An instruction block: M, M old copies, K, K new-data instructions each followed by its data.
namespace block {
constexpr std::size_t kOldCount = 0;
constexpr std::size_t kOldCopiesAt = 4;
constexpr std::size_t kOldCopySize = 12;     // src_offset, src_length, dst_offset
constexpr std::size_t kNewDataHeadSize = 8;  // offset, length; the data follows
}  // namespace block

}  // namespace fr::patchfile
