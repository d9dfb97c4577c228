// Whether one installed font is exactly the font and revision a patch source was made for.

#include "patch/IdentityChecks.h"
#include "fonttables/ByteReader.h"
#include "fonttables/NameTable.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"
#include "patch/FontProgress.h"
#include "platform/NativePath.h"
#include "platform/PathText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace fr::identity {

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
    const QString key = platform::removeLastExtension(fontfile);
    for (const auto& row : kExpectedRevisions)
        if (key == QStringView(row.fontfile)) return row.fontRevision;
    return std::nullopt;
}

// The table record at `recordOffset`, when it lies in the font and carries `tag`.
std::optional<TableRecord> recordWithTag(const platform::ReadableBytes& font, std::size_t recordOffset,
                                         const Tag& tag) {
    std::array<std::uint8_t, sfnt::table_record::kSize> bytes{};
    if (!font.readAt(recordOffset, bytes)) return std::nullopt;
    const TableRecord record = parseTableRecord(bytes);
    if (!(record.tag == tag)) return std::nullopt;
    return record;
}

// A font whose first bytes (the offset table and the directory) are held in memory, so that
// walking the directory costs no read of its own.
class DirectoryInMemory : public platform::ReadableBytes {
public:
    DirectoryInMemory(const platform::ReadableBytes& font, std::vector<std::uint8_t> first)
        : m_font(font), m_first(std::move(first)) {}
    std::uint64_t size() const override { return m_font.size(); }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset <= m_first.size() && out.size() <= m_first.size() - offset) {
            if (!out.empty()) std::memcpy(out.data(), m_first.data() + offset, out.size());
            return true;
        }
        return m_font.readAt(offset, out);
    }

private:
    const platform::ReadableBytes& m_font;
    std::vector<std::uint8_t> m_first;
};

}  // namespace

// Only what the checks need is read: never the whole file.
bool checkOpenTypeVersion(const platform::ReadableBytes& font, const SourceEntry& source, std::uint64_t& revision,
                          Reason* why) {
    if (font.size() == 0) return refuse(why, "font-truncated", QStringLiteral("the file is empty"));
    if (font.size() > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return refuse(why, "font-too-large",
                      QStringLiteral("%1 bytes, more than any font of these families").arg(font.size()));
    const auto offsetTable = font.read(0, sfnt::offset_table::kSize);
    _sfntHeader header;
    if (!offsetTable || !checkOpenTypeHeader(*offsetTable, sfnt::offset_table::kSize, header) || header.numTables == 0)
        return refuse(why, "font-not-cff", QStringLiteral("not an OpenType font with CFF outlines"));
    // The directory as far as the file holds it; a record past its end is no record.
    const std::uint64_t directoryEnd = std::min<std::uint64_t>(sfnt::recordAt(header.numTables), font.size());
    auto directory = font.read(0, directoryEnd);
    if (!directory) return refuse(why, "font-unreadable", QStringLiteral("its directory can't be read"));
    const DirectoryInMemory held(font, std::move(*directory));

    bool revisionMatches = false;
    std::optional<std::uint64_t> found;
    for (std::size_t i = 0; i < header.numTables && !revisionMatches; ++i) {
        constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t read = kNone;
        revisionMatches = checkHeadTbleVersion(sfnt::recordAt(i), held, source, read);
        if (read != kNone) found = revision = read;
    }
    if (!revisionMatches) {
        if (!found) return refuse(why, "font-truncated", QStringLiteral("no 'head' table it holds whole"));
        const auto expected = expectedRevision(source.fontfile);
        return refuse(why, "font-revision",
                      expected ? QStringLiteral("revision %1; the patch is for revision %2")
                                     .arg(revisionText(*found), revisionText(*expected))
                               : QStringLiteral("revision %1; no revision of a font of this name is revised")
                                     .arg(revisionText(*found)));
    }
    for (std::size_t j = 0; j < header.numTables; ++j)
        if (checknameTblFontName(sfnt::recordAt(j), held, source)) return true;
    return refuse(why, "font-name",
                  QStringLiteral("its full name is not \"%1\", the font the patch is for")
                      .arg(source.fontname.value_or(QString())));
}

std::optional<std::uint32_t> fontRevisionOf(const platform::ReadableBytes& font) {
    const auto offsetTable = font.read(0, sfnt::offset_table::kSize);
    _sfntHeader header;
    if (!offsetTable || !checkOpenTypeHeader(*offsetTable, sfnt::offset_table::kSize, header)) return std::nullopt;
    for (std::size_t i = 0; i < header.numTables; ++i) {
        const auto record = recordWithTag(font, sfnt::recordAt(i), Tag("head"));
        if (!record) continue;
        std::array<std::uint8_t, 4> field{};
        if (record->length < sfnt::head::kFontRevision + 4 ||
            !font.readAt(std::uint64_t{record->offset} + sfnt::head::kFontRevision, field))
            return std::nullopt;
        return bytes::Fixed<4>{field}.u32<0>();
    }
    return std::nullopt;
}

bool checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out) {
    // Never trust the stated length beyond the bytes actually held.
    const std::size_t usable = std::min<std::size_t>(length < 0 ? 0 : static_cast<std::size_t>(length), bytes.size());
    const auto header = readOffsetTable(bytes.first(usable));
    if (!header) return false;
    out = *header;  // filled whatever the version says
    return hasCffOutlines(*header);
}

bool checkHeadTbleVersion(std::size_t recordOffset, const platform::ReadableBytes& font, const SourceEntry& source,
                          std::uint64_t& revision) {
    const auto record = recordWithTag(font, recordOffset, Tag("head"));
    if (!record) return false;
    std::array<std::uint8_t, 4> field{};
    if (!font.readAt(std::uint64_t{record->offset} + sfnt::head::kFontRevision, field)) return false;
    const std::uint32_t fontRevision = bytes::Fixed<4>{field}.u32<0>();
    // Handed out before the comparison, whatever its outcome.
    revision = fontRevision;

    const auto expected = expectedRevision(source.fontfile);
    return expected && *expected == fontRevision;
}

bool checknameTblFontName(std::size_t recordOffset, const platform::ReadableBytes& font, const SourceEntry& source) {
    const auto record = recordWithTag(font, recordOffset, Tag("name"));
    if (!record) return false;
    // The table's header and records as far as the file goes; its strings are read one by
    // one, and only the full name's.
    const std::uint64_t table = record->offset;
    std::array<std::uint8_t, sfnt::name_header::kSize> head{};
    if (!font.readAt(table, head)) return false;
    const std::uint64_t count = bytes::Fixed<sfnt::name_header::kSize>{head}.u16<sfnt::name_header::kCount>();
    const auto records = font.read(table, sfnt::name_header::kSize + sfnt::name_record::kSize * count);
    if (!records) return false;
    const auto name = NameTableView::open(*records);
    if (!name) return false;
    // Macintosh, Roman, English, full font name: only the first such record counts.
    const auto fullNameRecord = name->find(1, 0, 0, 4);
    if (!fullNameRecord) return false;
    // A name longer than the 255-byte name buffer is no name of ours.
    if (fullNameRecord->length > sfnt::kNameFieldSize) return false;
    std::array<std::uint8_t, sfnt::kNameFieldSize> buffer{};
    const std::uint64_t at = table + name->stringOffset() + fullNameRecord->offset;
    if (!font.readAt(at, std::span(buffer).first(fullNameRecord->length))) return false;

    const auto fullName = platform::decodeZeroTerminatedUtf8(buffer);
    if (!fullName || !source.fontname) return false;
    return *fullName == *source.fontname;
}

}  // namespace fr::identity
