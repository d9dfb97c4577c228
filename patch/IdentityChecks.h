#pragma once
// Whether one installed font is exactly the font and revision a patch source was made for:
// CFF outlines, the 'head' fontRevision the source's font must have, and the Macintosh full
// name its patch carries. The search runs them on every candidate, the revision again on the
// font it is about to rebuild. They read only what they need of the font: the offset table, the
// directory, the fontRevision and the full name.

#include "fonttables/FontTypes.h"
#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "platform/ReadableBytes.h"

#include <cstdint>
#include <optional>
#include <span>

namespace fr::identity {

// True when `font` is a revision target for `source`; `revision` then holds its fontRevision.
// When it is not, `why` (where given) says what differs.
bool checkOpenTypeVersion(const platform::ReadableBytes& font, const SourceEntry& source, std::uint64_t& revision,
                          Reason* why = nullptr);
// True when the bytes begin with a CFF OpenType offset table; `out` holds it (filled whatever
// the outcome once 12 bytes are there).
bool checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out);
// `recordOffset` is the table record's position in the font.
bool checkHeadTbleVersion(std::size_t recordOffset, const platform::ReadableBytes& font, const SourceEntry& source,
                          std::uint64_t& revision);
// The 'head' fontRevision of any CFF OpenType font; nothing where it has no 'head' it holds whole.
std::optional<std::uint32_t> fontRevisionOf(const platform::ReadableBytes& font);
bool checknameTblFontName(std::size_t recordOffset, const platform::ReadableBytes& font, const SourceEntry& source);

}  // namespace fr::identity
