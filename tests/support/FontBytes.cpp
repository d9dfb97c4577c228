#include "support/FontBytes.h"

#include <algorithm>
#include <stdexcept>

namespace testsupport {

void appendU16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}
void appendU32(Bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
}
void appendTag(Bytes& b, const std::string& tag) {
    if (tag.size() != 4) throw std::invalid_argument("tag must have four bytes: " + tag);
    b.insert(b.end(), tag.begin(), tag.end());
}
void putU16(Bytes& b, std::size_t offset, std::uint16_t v) {
    b.at(offset) = std::uint8_t(v >> 8);
    b.at(offset + 1) = std::uint8_t(v);
}
void putU32(Bytes& b, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(offset + i) = std::uint8_t(v >> (24 - 8 * i));
}
std::uint32_t getU32(const Bytes& b, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | b.at(offset + i);
    return v;
}
Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes counting(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

std::uint32_t paddedSum(const Bytes& b, std::size_t from, std::size_t length) {
    if (from > b.size()) return 0;
    length = std::min(length, b.size() - from);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; i += 4) {
        std::uint32_t w = 0;
        for (std::size_t k = 0; k < 4; ++k) w = (w << 8) | (i + k < length ? b[from + i + k] : 0);
        sum += w;
    }
    return sum;
}

PatchTable placed(const char* tag, std::uint8_t slot, std::uint32_t length, std::uint32_t offset) {
    PatchTable t;
    t.tag = tag;
    t.tablePos = slot;
    t.up_datalength = length;
    t.up_dataOffset = offset;
    return t;
}

Bytes buildSfnt(const std::vector<Table>& tables, const std::string& version) {
    Bytes out;
    appendTag(out, version);
    const auto n = static_cast<std::uint16_t>(tables.size());
    std::uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= n) ++entrySelector;
    const std::uint16_t searchRange = n ? std::uint16_t(16u << entrySelector) : 0;
    appendU16(out, n);
    appendU16(out, searchRange);
    appendU16(out, n ? entrySelector : 0);
    appendU16(out, std::uint16_t(n * 16 - searchRange));
    std::uint32_t offset = 12 + 16u * n;
    std::vector<std::uint32_t> offsets;
    for (const auto& t : tables) {
        offsets.push_back(offset);
        offset += (static_cast<std::uint32_t>(t.data.size()) + 3) & ~3u;
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        appendTag(out, tables[i].tag);
        appendU32(out, paddedSum(tables[i].data));
        appendU32(out, offsets[i]);
        appendU32(out, static_cast<std::uint32_t>(tables[i].data.size()));
    }
    for (const auto& t : tables) {
        out.insert(out.end(), t.data.begin(), t.data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

std::vector<Table> outlineTables() {
    // fontTools' FontBuilder: setupCFF("Mini", {"FullName": "Mini"}, {".notdef": an empty
    // charstring of width 500}), as the 'CFF ' table it writes.
    const Bytes cff = {0x01, 0x00, 0x04, 0x01, 0x00, 0x01, 0x01, 0x01, 0x05, 0x4d, 0x69, 0x6e, 0x69, 0x00, 0x01, 0x01,
                       0x01, 0x0b, 0xf8, 0x1b, 0x02, 0x8b, 0x0f, 0x8b, 0xba, 0x12, 0xb2, 0x11, 0x00, 0x01, 0x01, 0x01,
                       0x05, 0x4d, 0x69, 0x6e, 0x69, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x04, 0xf8, 0x88, 0x0e};
    Bytes hhea;
    appendU32(hhea, 0x00010000);
    appendU16(hhea, 800), appendU16(hhea, 0xFF38), appendU16(hhea, 0);  // ascender, descender, line gap
    appendU16(hhea, 500);                                                 // advanceWidthMax
    for (int i = 0; i < 10; ++i) appendU16(hhea, i == 3 ? 1 : 0);         // ...caretSlopeRise 1
    appendU16(hhea, 0);                                                   // metricDataFormat
    appendU16(hhea, 1);                                                   // numberOfHMetrics
    Bytes hmtx;
    appendU16(hmtx, 500), appendU16(hmtx, 0);
    Bytes maxp;
    appendU32(maxp, 0x00005000), appendU16(maxp, 1);
    return {{"CFF ", cff}, {"hhea", hhea}, {"hmtx", hmtx}, {"maxp", maxp}};
}

Bytes headTable(std::uint32_t fontRevision) {
    Bytes h;
    appendU32(h, 0x00010000);  // version
    appendU32(h, fontRevision);
    appendU32(h, 0);                              // checkSumAdjustment
    appendU32(h, 0x5F0F3CF5);                     // magic
    appendU16(h, 0x0003);                         // flags
    appendU16(h, 1000);                           // unitsPerEm
    for (int i = 0; i < 16; ++i) h.push_back(0);  // created, modified
    for (int i = 0; i < 4; ++i) appendU16(h, 0);  // bounding box
    appendU16(h, 0);                              // macStyle
    appendU16(h, 3);                              // lowestRecPPEM
    appendU16(h, 2);                              // fontDirectionHint
    appendU16(h, 0);                              // indexToLocFormat
    appendU16(h, 0);                              // glyphDataFormat
    return h;                                     // 54 bytes
}

Bytes nameTable(const std::vector<NameRecord>& records) {
    Bytes t;
    const auto count = static_cast<std::uint16_t>(records.size());
    appendU16(t, 0);
    appendU16(t, count);
    appendU16(t, std::uint16_t(6 + 12 * count));
    Bytes storage;
    for (const auto& r : records) {
        appendU16(t, r.platformID);
        appendU16(t, r.encodingID);
        appendU16(t, r.languageID);
        appendU16(t, r.nameID);
        appendU16(t, static_cast<std::uint16_t>(r.string.size()));
        appendU16(t, static_cast<std::uint16_t>(storage.size()));
        storage.insert(storage.end(), r.string.begin(), r.string.end());
    }
    t.insert(t.end(), storage.begin(), storage.end());
    return t;
}

Bytes utf16be(const std::string& ascii) {
    Bytes b;
    for (unsigned char c : ascii) {
        b.push_back(0);
        b.push_back(c);
    }
    return b;
}

Bytes buildPatch(const PatchLayout& layout) {
    Bytes out;
    out.insert(out.end(), layout.magic.begin(), layout.magic.end());
    out.resize(4, 0);
    Bytes name(32, 0);
    for (std::size_t i = 0; i < layout.fontName.size() && i < 32; ++i) name[i] = std::uint8_t(layout.fontName[i]);
    out.insert(out.end(), name.begin(), name.end());
    appendU32(out, layout.fontVersion);
    appendU32(out, layout.fontLength);
    out.push_back(static_cast<std::uint8_t>(layout.tables.size()));
    for (int i = 0; i < 8; ++i) out.push_back(std::uint8_t(i + 1));  // createtime
    std::uint32_t blockOffset = 53 + 18u * static_cast<std::uint32_t>(layout.tables.size());
    Bytes blocks;
    for (const auto& t : layout.tables) {
        appendTag(out, t.tag);
        out.push_back(t.tablePos);
        out.push_back(t.dataPos);
        appendU32(out, t.changed ? blockOffset + static_cast<std::uint32_t>(blocks.size()) : 0);
        appendU32(out, t.up_datalength);
        appendU32(out, t.up_dataOffset);
        if (!t.changed) continue;
        appendU32(blocks, static_cast<std::uint32_t>(t.olds.size()));
        for (const auto& o : t.olds) {
            appendU32(blocks, o.src_offset);
            appendU32(blocks, o.src_length);
            appendU32(blocks, o.dst_offset);
        }
        appendU32(blocks, static_cast<std::uint32_t>(t.news.size()));
        for (const auto& n : t.news) {
            appendU32(blocks, n.offset);
            appendU32(blocks, static_cast<std::uint32_t>(n.data.size()));
            blocks.insert(blocks.end(), n.data.begin(), n.data.end());
        }
    }
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

}  // namespace testsupport
