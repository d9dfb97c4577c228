#include "fonttables/FontOpens.h"

#include "fonttables/ByteReader.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H

#include <cstring>
#include <optional>

namespace fr {

namespace {

// The bytes of the first record with this tag, when it lies in the image and is at least
// `least` bytes long.
std::optional<std::span<const std::uint8_t>> table(std::span<const std::uint8_t> image, std::size_t numTables,
                                                   const Tag& tag, std::size_t least) {
    const auto found = findTable(image, numTables, tag);
    if (!found) return std::nullopt;
    const auto bytes = tableBytes(image, found->record);
    if (!bytes || bytes->size() < least) return std::nullopt;
    return bytes;
}

// The tables every reader looks at first, and the counts they must agree on.
std::optional<std::uint16_t> glyphCountWhereTablesAgree(std::span<const std::uint8_t> image, std::size_t numTables) {
    const auto head = table(image, numTables, Tag("head"), sfnt::head::kSize);
    const auto maxp = table(image, numTables, Tag("maxp"), sfnt::maxp::kSize);
    const auto hhea = table(image, numTables, Tag("hhea"), sfnt::hhea::kSize);
    const auto hmtx = table(image, numTables, Tag("hmtx"), 0);
    if (!head || !maxp || !hhea || !hmtx) return std::nullopt;
    if (bytes::Reader(*head).u32(sfnt::head::kMagicNumber) != sfnt::head::kMagic) return std::nullopt;
    const std::uint16_t glyphs = *bytes::Reader(*maxp).u16(sfnt::maxp::kNumGlyphs);
    const std::uint16_t metrics = *bytes::Reader(*hhea).u16(sfnt::hhea::kNumberOfHMetrics);
    if (glyphs == 0 || metrics == 0 || metrics > glyphs) return std::nullopt;
    const std::size_t needed =
        sfnt::hmtx::kLongMetricSize * metrics + sfnt::hmtx::kBearingSize * (std::size_t{glyphs} - metrics);
    if (hmtx->size() < needed) return std::nullopt;
    return glyphs;
}

struct Library {
    FT_Library library = nullptr;
    Library() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~Library() {
        if (library) FT_Done_FreeType(library);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

struct Face {
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

}  // namespace

bool newFontOpens(std::span<const std::uint8_t> image, std::size_t numTables) {
    const auto glyphs = glyphCountWhereTablesAgree(image, numTables);
    if (!glyphs) return false;

    const Library freetype;
    if (!freetype.library) return false;
    Face opened;
    if (FT_New_Memory_Face(freetype.library, image.data(), static_cast<FT_Long>(image.size()), 0, &opened.face) != 0)
        return false;
    const char* format = FT_Get_Font_Format(opened.face);
    return FT_IS_SFNT(opened.face) && format != nullptr && std::strcmp(format, "CFF") == 0 &&
           opened.face->num_glyphs == *glyphs;
}

}  // namespace fr
