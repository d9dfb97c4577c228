#pragma once
// Whether a finished new image is a font that a system will open, before it is written
// anywhere: a patch can place every table right and still fill them with nonsense.

#include "fonttables/Reason.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace fr {

// True when the image's first `numTables` directory records give a 'head' with its magic
// number, a 'maxp' with at least one glyph, an 'hhea' whose metrics count 'hmtx' holds, and
// FreeType opens the image from memory as a CFF font with the glyph count 'maxp' gives. Where
// it is not, `why` (when given) says what fails.
bool newFontOpens(std::span<const std::uint8_t> image, std::size_t numTables, Reason* why = nullptr);

}  // namespace fr
