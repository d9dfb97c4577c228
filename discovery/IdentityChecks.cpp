// Whether one installed font is exactly the font and revision a patch source was made for.

#include "discovery/TextRules.h"
#include "fonttables/ByteReader.h"
#include "fonttables/NameTable.h"
#include "fonttables/OpenTypeManager.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "patch/FontEntries.h"
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

// The table record at `recordOffset`, when it lies in the bytes and carries `tag`.
std::optional<TableRecord> recordWithTag(std::span<const std::uint8_t> font, std::size_t recordOffset, const Tag& tag) {
    const auto in = bytes::Reader(font).fixed<sfnt::table_record::kSize>(recordOffset);
    if (!in) return std::nullopt;
    const TableRecord record = parseTableRecord(in->bytes());
    if (!(record.tag == tag)) return std::nullopt;
    return record;
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
        revisionMatches = checkHeadTbleVersion(sfnt::recordAt(i), bytes, source, revision);
    if (!revisionMatches) return false;
    for (std::size_t j = 0; j < header.numTables; ++j)
        if (checknameTblFontName(sfnt::recordAt(j), bytes, source)) return true;
    return false;
}

bool OpenTypeManager::checkHeadTbleVersion(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                           const SourceEntry& source, std::uint64_t& revision) {
    const auto record = recordWithTag(bytes, recordOffset, Tag("head"));
    if (!record) return false;
    const auto head = bytes::Reader(bytes).fixed<sfnt::head::kFontRevision + 4>(record->offset);
    if (!head) return false;
    const std::uint32_t fontRevision = head->u32<sfnt::head::kFontRevision>();
    // Handed out before the comparison, whatever its outcome.
    revision = fontRevision;

    const auto expected = expectedRevision(source.fontfile);
    return expected && *expected == fontRevision;
}

bool OpenTypeManager::checknameTblFontName(std::size_t recordOffset, std::span<const std::uint8_t> bytes,
                                           const SourceEntry& source) {
    const auto record = recordWithTag(bytes, recordOffset, Tag("name"));
    if (!record || record->offset > bytes.size()) return false;
    // The table as far as the file goes: its records and strings must lie in the file.
    const auto name = NameTableView::open(bytes.subspan(record->offset));
    if (!name) return false;
    // Macintosh, Roman, English, full font name: only the first such record counts.
    const auto fullNameRecord = name->find(1, 0, 0, 4);
    if (!fullNameRecord) return false;
    // A name longer than the 255-byte name buffer is no name of ours.
    if (fullNameRecord->length > sfnt::kNameFieldSize) return false;
    const auto stored = name->string(*fullNameRecord);
    if (!stored) return false;

    std::array<std::uint8_t, sfnt::kNameFieldSize> buffer{};
    std::memcpy(buffer.data(), stored->data(), stored->size());
    const auto fullName = text::decodeZeroTerminatedUtf8(buffer);
    if (!fullName || !source.fontname) return false;
    return *fullName == *source.fontname;
}

}  // namespace fr
