#include "patch/Integrity.h"

#include "fonttables/CommonTool.h"
#include "fonttables/FontOpens.h"
#include "fonttables/InstalledFont.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDigest.h"
#include "fonttables/TableDirectory.h"
#include "patch/IdentityChecks.h"
#include "platform/PathText.h"

#include <QStringList>

#include <sodium.h>

#include <algorithm>
#include <new>

namespace fr {

namespace {
// No font this program revises is larger; a larger file is no font of ours.
constexpr std::uint64_t kLargestFont = 256u << 20;
// Files are compared and digested through a buffer of this size.
constexpr std::size_t kPiece = 256 * 1024;

using Ranges = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// The digest of a file as WrittenImage takes it: the bytes outside `late` in order, then
// each of `late` (ranges inside the file, apart).
std::optional<std::pair<std::uint64_t, Digest128>> fileDigest(const platform::Files& files, const QString& path,
                                                              const Ranges& late = {}) {
    const auto file = files.openForReading(path);
    if (!file) return std::nullopt;
    const std::uint64_t size = file->size();
    for (const auto& [offset, length] : late)
        if (offset > size || length > size - offset) return std::nullopt;
    const platform::PieceBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size)));
    Hasher digest;
    const auto digestRange = [&](std::uint64_t from, std::uint64_t to) {
        for (std::uint64_t at = from; at < to; at += kPiece) {
            const auto piece = buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, to - at)));
            if (!file->readAt(at, piece)) return false;
            digest.update(piece);
        }
        return true;
    };
    Ranges sorted = late;
    std::sort(sorted.begin(), sorted.end());
    std::uint64_t at = 0;
    for (const auto& [offset, length] : sorted) {
        if (offset < at || !digestRange(at, offset)) return std::nullopt;
        at = offset + length;
    }
    if (!digestRange(at, size)) return std::nullopt;
    for (const auto& [offset, length] : late)
        if (!digestRange(offset, offset + length)) return std::nullopt;
    return std::make_pair(size, digest.digest());
}

// Every table record's checksum is its table's ('head' with the adjustment taken as zero).
bool tableChecksumsHold(std::span<const std::uint8_t> font, std::size_t numTables) {
    for (std::size_t i = 0; i < numTables; ++i) {
        const auto record = readTableRecord(font, i);
        const auto table = record ? tableBytes(font, *record) : std::nullopt;
        if (!table) return false;
        std::uint32_t sum = CommonTool::tableChecksum(*table);
        if (record->tag == Tag("head") && table->size() >= sfnt::head::kAdjustmentEnd)
            sum -= CommonTool::tableChecksum(table->subspan(sfnt::head::kCheckSumAdjustment, 4));
        if (sum != record->checksum) return false;
    }
    return true;
}

// The font's Macintosh full name is the one the patch is for.
bool hasFullNameOf(const InstalledFont& font, const SourceEntry& source) {
    for (std::size_t i = 0; i < font.header().numTables; ++i)
        if (identity::checknameTblFontName(sfnt::recordAt(i), font.bytes(), source)) return true;
    return false;
}
}  // namespace

FolderTrust folderTrust(const ManifestReading& reading, bool keyBuiltIn, bool allowUnsigned, const QString& folder) {
    using State = ManifestReading::State;
    switch (reading.state) {
    case State::Verified:
        return {true, true, {}};
    case State::NoTrustedKey:
        return {true,
                false,
                {QStringLiteral("no-trusted-key"),
                 QStringLiteral("%1: signed, but this program trusts no key to check it with").arg(folder)}};
    case State::Absent:
        if (keyBuiltIn && !allowUnsigned)
            return {false,
                    false,
                    {QStringLiteral("unsigned-host"),
                     QStringLiteral("%1 holds no signed manifest, and this program applies only signed patches")
                         .arg(folder)}};
        return {
            true,
            false,
            {QStringLiteral("unsigned"),
             keyBuiltIn ? QStringLiteral("%1 holds no signed manifest; applied on the administrator's word").arg(folder)
                        : QStringLiteral("%1 holds no signed manifest").arg(folder)}};
    case State::Unreadable:
        return {false, false, {QStringLiteral("manifest-unreadable"), reading.detail}};
    case State::SignatureMissing:
        return {false, false, {QStringLiteral("manifest-signature-missing"), reading.detail}};
    case State::SignatureMalformed:
    case State::SignatureRejected:
        return {false, false, {QStringLiteral("manifest-signature"), reading.detail}};
    case State::Malformed:
        break;
    }
    return {false, false, {QStringLiteral("manifest-malformed"), reading.detail}};
}

SourceEntryPtr withManifestEntry(const SourceEntryPtr& source, const ManifestReading& reading, Reason* why) {
    if (!source || reading.state != ManifestReading::State::Verified) return source;
    auto listed = reading.entryFor(platform::lastPathComponent(source->fullpath));
    if (!listed) {
        refuse(why, "manifest-unlisted", QStringLiteral("the signed manifest does not list it"));
        return nullptr;
    }
    auto entry = std::make_shared<SourceEntry>(*source);
    entry->manifest = std::move(listed);
    return entry;
}

TableDigests imageTableDigests(std::span<const std::uint8_t> image, std::size_t numTables) {
    TableDigests digests;
    for (std::size_t i = 0; i < numTables; ++i) {
        const auto record = readTableRecord(image, i);
        if (!record || !isDigested(record->tag)) continue;
        if (const auto table = tableBytes(image, *record))
            digests.emplace_back(record->tag, tableDigest(record->tag, *table));
    }
    return digests;
}

std::optional<TableDigests> installedTableDigests(const InstalledFont& font) {
    TableDigests digests;
    const platform::PieceBuffer buffer(kPiece);  // one for every table
    for (const auto& table : font.tables()) {
        if (!isDigested(table->tag())) continue;
        const _TableList r = table->getTableList();
        const auto digest = tableDigest(table->tag(), font.bytes(), r.offset, r.length, buffer);
        if (!digest) return std::nullopt;
        digests.emplace_back(table->tag(), *digest);
    }
    return digests;
}

bool sameTables(const TableDigests& proved, const ManifestEntry::Tables& listed) {
    if (proved.size() != listed.size()) return false;
    return std::all_of(proved.begin(), proved.end(), [&](const auto& table) {
        return std::find(listed.begin(), listed.end(), table) != listed.end();
    });
}

QString differingTables(const TableDigests& proved, const ManifestEntry::Tables& listed) {
    QStringList tags;
    for (const auto& table : proved)
        if (std::find(listed.begin(), listed.end(), table) == listed.end()) tags << quoted(table.first);
    for (const auto& table : listed)
        if (std::none_of(proved.begin(), proved.end(), [&](const auto& p) { return p.first == table.first; }))
            tags << quoted(table.first);
    return (tags.size() == 1 ? QStringLiteral("table ") : QStringLiteral("tables ")) + tags.join(u' ');
}

std::optional<FileFingerprint> fingerprintOf(const platform::Files& files, const QString& path) try {
    const auto file = files.openForReading(path);
    if (!file) return std::nullopt;
    const platform::PieceBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, file->size())));
    Hasher digest;
    crypto_hash_sha256_state sha;
    crypto_hash_sha256_init(&sha);
    for (std::uint64_t at = 0; at < file->size(); at += kPiece) {
        const auto piece = buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, file->size() - at)));
        if (!file->readAt(at, piece)) return std::nullopt;
        digest.update(piece);
        crypto_hash_sha256_update(&sha, piece.data(), piece.size());
    }
    FileFingerprint print{{file->size(), digest.digest(), {}}, {}};
    crypto_hash_sha256_final(&sha, print.sha256.bytes.data());
    return print;
} catch (const std::bad_alloc&) {
    return std::nullopt;
}

bool fileHoldsImage(const platform::Files& files, const QString& path, const WrittenImage& image) try {
    const auto held = fileDigest(files, path, image.late);
    return held && held->first == image.length && held->second == image.digest;
} catch (const std::bad_alloc&) {
    return false;
}

bool isCompleteNewFont(const platform::Files& files, const QString& path, const SourceEntry* source) try {
    if (!source) return false;
    auto bytes = files.readAll(path, kLargestFont);
    InstalledFont font;
    if (!bytes || !font.load(std::make_unique<platform::BytesInMemory>(*bytes))) return false;
    const std::size_t numTables = font.header().numTables;
    if (CommonTool::tableChecksum(*bytes) != sfnt::kWholeFontSum || !tableChecksumsHold(*bytes, numTables) ||
        !hasFullNameOf(font, *source) || !newFontOpens(*bytes, numTables))
        return false;
    return !source->manifest || sameTables(imageTableDigests(*bytes, numTables), source->manifest->newTables);
} catch (const std::bad_alloc&) {
    return false;
}

bool isTheOldFont(const platform::Files& files, const QString& path, const SourceEntry* source) try {
    if (!source) return false;
    std::uint64_t revision = 0;
    const auto file = files.openForReading(path);
    if (!file || !identity::checkOpenTypeVersion(*file, *source, revision)) return false;
    if (!source->manifest) return true;
    InstalledFont font;
    if (!font.load(files.openForReading(path))) return false;
    const auto digests = installedTableDigests(font);
    return digests && sameTables(*digests, source->manifest->oldTables);
} catch (const std::bad_alloc&) {
    return false;
}

bool isWholeFont(const platform::Files& files, const QString& path) try {
    const auto bytes = files.readAll(path, kLargestFont);
    InstalledFont font;
    if (!bytes || !font.load(std::make_unique<platform::BytesInMemory>(*bytes))) return false;
    return newFontOpens(*bytes, font.header().numTables);
} catch (const std::bad_alloc&) {
    return false;
}

bool sameContents(const platform::Files& files, const QString& a, const QString& b) try {
    const auto first = fileDigest(files, a);
    return first && first == fileDigest(files, b);
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace fr
