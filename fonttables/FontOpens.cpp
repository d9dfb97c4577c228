#include "fonttables/FontOpens.h"

#include "fonttables/ByteReader.h"
#include "fonttables/NameTable.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_MODULE_H

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
std::optional<std::uint16_t> glyphCountWhereTablesAgree(std::span<const std::uint8_t> image, std::size_t numTables,
                                                        Reason* why) {
    const auto missing = [&](const char* tag) {
        refuse(why, "new-font-tables", QStringLiteral("no whole '%1' table").arg(QLatin1String(tag)));
        return std::nullopt;
    };
    const auto head = table(image, numTables, Tag("head"), sfnt::head::kSize);
    if (!head) return missing("head");
    const auto maxp = table(image, numTables, Tag("maxp"), sfnt::maxp::kSize);
    if (!maxp) return missing("maxp");
    const auto hhea = table(image, numTables, Tag("hhea"), sfnt::hhea::kSize);
    if (!hhea) return missing("hhea");
    const auto hmtx = table(image, numTables, Tag("hmtx"), 0);
    if (!hmtx) return missing("hmtx");
    const auto wrong = [&](QString what) {
        refuse(why, "new-font-tables", std::move(what));
        return std::nullopt;
    };
    if (bytes::Reader(*head).u32(sfnt::head::kMagicNumber) != sfnt::head::kMagic)
        return wrong(QStringLiteral("'head' without its magic number"));
    const std::uint16_t glyphs = *bytes::Reader(*maxp).u16(sfnt::maxp::kNumGlyphs);
    const std::uint16_t metrics = *bytes::Reader(*hhea).u16(sfnt::hhea::kNumberOfHMetrics);
    if (glyphs == 0) return wrong(QStringLiteral("'maxp' counts no glyph"));
    if (metrics == 0 || metrics > glyphs)
        return wrong(QStringLiteral("'hhea' counts %1 metrics for %2 glyphs").arg(metrics).arg(glyphs));
    const std::size_t needed =
        sfnt::hmtx::kLongMetricSize * metrics + sfnt::hmtx::kBearingSize * (std::size_t{glyphs} - metrics);
    if (hmtx->size() < needed)
        return wrong(QStringLiteral("'hmtx' holds %1 bytes of the %2 its metrics need").arg(hmtx->size()).arg(needed));
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

bool newFontOpens(std::span<const std::uint8_t> image, std::size_t numTables, Reason* why) {
    const auto glyphs = glyphCountWhereTablesAgree(image, numTables, why);
    if (!glyphs) return false;
    // A reader walks every name record: none may point outside the table.
    const auto name = table(image, numTables, Tag("name"), 0);
    if (!name) return refuse(why, "new-font-tables", QStringLiteral("no whole 'name' table"));
    if (const auto fault = nameTableFault(*name))
        return refuse(why, "new-font-name", QStringLiteral("'name': %1").arg(*fault));

    const Library freetype;
    if (!freetype.library) return refuse(why, "new-font-freetype", QStringLiteral("FreeType could not start"));
    Face opened;
    // Opened by the CFF driver alone: no other driver tries it first.
    FT_Open_Args args{};
    args.flags = FT_OPEN_MEMORY | FT_OPEN_DRIVER;
    args.memory_base = image.data();
    args.memory_size = static_cast<FT_Long>(image.size());
    args.driver = FT_Get_Module(freetype.library, "cff");
    if (!args.driver || FT_Open_Face(freetype.library, &args, 0, &opened.face) != 0)
        return refuse(why, "new-font-freetype", QStringLiteral("FreeType can't open it"));
    const char* format = FT_Get_Font_Format(opened.face);
    if (!FT_IS_SFNT(opened.face) || format == nullptr || std::strcmp(format, "CFF") != 0)
        return refuse(why, "new-font-freetype", QStringLiteral("FreeType opens it, but not as a CFF OpenType font"));
    if (opened.face->num_glyphs != *glyphs)
        return refuse(why, "new-font-freetype",
                      QStringLiteral("FreeType finds %1 glyphs where 'maxp' counts %2")
                          .arg(opened.face->num_glyphs)
                          .arg(*glyphs));
    return true;
}

}  // namespace fr
