// Whether one installed font is exactly the font and revision a patch source was made for.

#include "discovery/FontEntries.h"
#include "discovery/TextRules.h"
#include "fonttables/ByteReader.h"
#include "fonttables/OpenTypeManager.h"
#include "platform/Platform.h"

#include <array>
#include <cstring>
#include <limits>

namespace fr {

namespace {


// The revision each font must have before its patch applies, by installed file name
// without extension.
struct ExpectedRevision {
    const char16_t* fontfile;
    std::uint32_t fontRevision;
};
constexpr std::array<ExpectedRevision, 6> kExpectedRevisions{{
    {u"Kestruneゴシック StdN W3", 0x00080000},
    {u"Velmora角ゴ StdN W9", 0x00080000},
    {u"Velmora丸ゴ StdN W6", 0x00080000},
    {u"Velmora行書 StdN W8", 0x00080000},
    {u"Velmora角ゴ Std W9", 0x00070000},
    {u"Velmora丸ゴ Std W6", 0x00070000},
}};

std::optional<std::uint32_t> expectedRevision(const QString& fontfile) {
    const QString key = text::removeLastExtension(fontfile);
    for (const auto& row : kExpectedRevisions)
        if (key == QStringView(row.fontfile)) return row.fontRevision;
    return std::nullopt;
}

// True when the table record at `recordOffset` lies in the bytes and carries `tag`.
bool recordHasTag(const bytes::Reader& reader, std::size_t recordOffset, const char* tag) {
    const auto stored = reader.slice(recordOffset, 4);
    return stored && std::memcmp(stored->data(), tag, 4) == 0;
}

}  // namespace

bool OpenTypeManager::checkOpenTypeVersion(const QString& path, const SourceEntry& source,
                                           std::uint64_t& revision) const {
    // The file is read once, whole; the revision driver runs the same checks on the bytes
    // it has already read.
    const auto file = platform::files().readAll(path);
    if (!file) return false;
    return checkOpenTypeVersion(std::span<const std::uint8_t>(*file), source, revision);
}

bool OpenTypeManager::checkOpenTypeVersion(std::span<const std::uint8_t> bytes, const SourceEntry& source,
                                           std::uint64_t& revision) const {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    _sfntHeader header;
    if (!checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), header)) return false;
    if (header.numTables == 0) return false;

    bool revisionMatches = false;
    for (std::size_t i = 0; i < header.numTables && !revisionMatches; ++i)
        revisionMatches = checkHeadTbleVersion(kOffsetTableSize + kTableRecordSize * i, bytes, source, revision);
    if (!revisionMatches) return false;
    for (std::size_t j = 0; j < header.numTables; ++j)
        if (checknameTblFontName(kOffsetTableSize + kTableRecordSize * j, bytes, source)) return true;
    return false;
}

bool OpenTypeManager::checkHeadTbleVersion(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                           const SourceEntry& source, std::uint64_t& revision) {
    const bytes::Reader reader(bytes);
    if (!recordHasTag(reader, recordOffset, "head")) return false;
    const auto tableOffset = reader.u32(recordOffset + 8);
    if (!tableOffset) return false;
    const auto fontRevision = reader.u32(std::size_t{*tableOffset} + 4);
    if (!fontRevision) return false;
    // Handed out before the comparison, whatever its outcome.
    revision = *fontRevision;

    const auto expected = expectedRevision(source.fontfile);
    return expected && *expected == *fontRevision;
}

bool OpenTypeManager::checknameTblFontName(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                           const SourceEntry& source) {
    const bytes::Reader reader(bytes);
    if (!recordHasTag(reader, recordOffset, "name")) return false;
    const auto tableOffset = reader.u32(recordOffset + 8);
    if (!tableOffset) return false;
    const std::size_t table = *tableOffset;
    const auto count = reader.u16(table + 2);
    const auto stringOffset = reader.u16(table + 4);
    if (!count || !stringOffset) return false;

    for (std::size_t k = 0; k < *count; ++k) {
        const std::size_t record = table + 6 + kNameRecordSize * k;
        const auto platformID = reader.u16(record);
        const auto encodingID = reader.u16(record + 2);
        const auto languageID = reader.u16(record + 4);
        const auto nameID = reader.u16(record + 6);
        if (!platformID || !encodingID || !languageID || !nameID) return false;
        // Macintosh, Roman, English, full font name: only the first such record counts.
        if (*platformID != 1 || *encodingID != 0 || *languageID != 0 || *nameID != 4) continue;

        const auto length = reader.u16(record + 8);
        const auto offset = reader.u16(record + 10);
        if (!length || !offset) return false;
        // A name longer than the 255-byte name buffer is no name of ours.
        if (*length > kNameFieldSize) return false;
        const auto stored = reader.slice(table + *stringOffset + *offset, *length);
        if (!stored) return false;

        std::array<std::uint8_t, kNameFieldSize> buffer{};
        std::memcpy(buffer.data(), stored->data(), stored->size());
        const auto fullName = text::decodeZeroTerminatedUtf8(buffer);
        if (!fullName || !source.fontname) return false;
        return *fullName == *source.fontname;
    }
    return false;
}

}  // namespace fr
