#pragma once
// Small, readable builders for sfnt images and patch files in tests: each input is stated
// plainly (tag, offset, bytes) instead of as an opaque blob.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

void appendU16(Bytes& b, std::uint16_t v);
void appendU32(Bytes& b, std::uint32_t v);
void appendTag(Bytes& b, const std::string& tag);  // four bytes, as given
void putU16(Bytes& b, std::size_t offset, std::uint16_t v);
void putU32(Bytes& b, std::size_t offset, std::uint32_t v);
std::uint32_t getU32(const Bytes& b, std::size_t offset);
Bytes bytesOf(const std::string& s);  // the characters' bytes (UTF-8 as written)
// `n` bytes counting up from `first`: easy to recognise wherever they land.
Bytes counting(std::size_t n, std::uint8_t first);
// The wrapping sum of the big-endian words of `length` bytes from `from`, zero-padded to four
// (the whole buffer by default): a table checksum, or the whole-font sum.
std::uint32_t paddedSum(const Bytes& b, std::size_t from = 0, std::size_t length = SIZE_MAX);

struct Table {
    std::string tag;
    Bytes data;
};

// An sfnt image: offset table (searchRange and friends computed), records in the order
// given, tables laid out in that order at four-byte boundaries with zero padding, real
// checksums. `version` is the first four bytes ("OTTO" by default).
Bytes buildSfnt(const std::vector<Table>& tables, const std::string& version = "OTTO");

// A 'head' table (54 bytes) with the given fontRevision; other fields plausible.
Bytes headTable(std::uint32_t fontRevision);
// What makes an image a font that opens: a real CFF of one glyph (".notdef", 500 units
// wide), and the 'hhea', 'hmtx' and 'maxp' that agree with it.
std::vector<Table> outlineTables();

struct NameRecord {
    std::uint16_t platformID, encodingID, languageID, nameID;
    Bytes string;
};
// A format 0 'name' table with the records in the order given.
Bytes nameTable(const std::vector<NameRecord>& records);
// UTF-16BE bytes of an ASCII string.
Bytes utf16be(const std::string& ascii);

// Patch files.
struct OldCopy {
    std::uint32_t src_offset, src_length, dst_offset;
};
struct NewData {
    std::uint32_t offset;
    Bytes data;
};
struct PatchTable {
    std::string tag;
    std::uint8_t tablePos = 0;
    std::uint8_t dataPos = 0;
    std::uint32_t up_datalength = 0;
    std::uint32_t up_dataOffset = 0;
    bool changed = false;  // with an instruction block
    std::vector<OldCopy> olds;
    std::vector<NewData> news;
};
struct PatchLayout {
    std::string magic = "SBDF";
    std::string fontName;  // at most 32 bytes
    std::uint32_t fontVersion = 0;
    std::uint32_t fontLength = 0;
    std::vector<PatchTable> tables;
};
// A record for `tag` in directory slot `slot`, `length` bytes at `offset` of the new font,
// carried over unchanged unless the caller gives it instructions.
PatchTable placed(const char* tag, std::uint8_t slot, std::uint32_t length, std::uint32_t offset);

// Header, records, then the blocks of the changed tables in record order.
Bytes buildPatch(const PatchLayout& layout);

}  // namespace testsupport
