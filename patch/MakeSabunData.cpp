#include "patch/MakeSabunData.h"

#include "fonttables/ByteReader.h"
#include "patch/PatchLayout.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace fr {

namespace {
namespace header = patchfile::header;
namespace record = patchfile::record;
static_assert(sizeof(_UPDATE_HEADER) == header::kSize);
static_assert(sizeof(_UPDATE_TAG_TABLE) == record::kSize);

// The four magic bytes, compared as a zero-terminated string: a zero byte never matches.
bool hasMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "SBDF", 4) == 0;
}
}  // namespace

MakeSabunData::MakeSabunData() { std::memset(&m_UpdateHeader, 0, sizeof m_UpdateHeader); }

bool MakeSabunData::checkSabunData(const platform::Files& files, const QString& path, char* name255,
                                   std::uint32_t& version, Reason* why) {
    // Only the bytes the listing needs are read.
    const auto file = files.openForReading(path);
    if (!file) return refuse(why, "patch-unreadable", QStringLiteral("not a file that can be read"));
    std::array<std::uint8_t, header::kListedSize> listed{};
    if (!file->readAt(0, listed))
        return refuse(why, "patch-truncated",
                      QStringLiteral("%1 bytes, shorter than a patch header").arg(file->size()));
    if (!hasMagic(listed)) return refuse(why, "patch-not-patch", QStringLiteral("no patch header (\"SBDF\")"));
    const bytes::Fixed<header::kListedSize> in{listed};
    std::memcpy(name255, in.slice<header::kFontName, header::kFontNameSize>().data(), header::kFontNameSize);
    version = in.u32<header::kFontVersion>();
    return true;
}

std::uint64_t MakeSabunData::largestPatch(std::uint64_t newFontLength) {
    constexpr std::uint64_t kRecords = 255;
    constexpr std::uint64_t kCounts = 8;  // M and K of a block
    return header::kSize + (record::kSize + kCounts) * kRecords + patchfile::block::kOldCopySize * newFontLength;
}

bool MakeSabunData::loadSabunData(const platform::Files& files, const QString& path, std::uint64_t largestNewFont,
                                  const Sha256* expected) {
    m_problem = {};
    const auto file = files.openForReading(path);
    if (!file) return refuse(&m_problem, "patch-unreadable", QStringLiteral("not a file that can be read"));
    if (file->size() == 0) return refuse(&m_problem, "patch-truncated", QStringLiteral("the file is empty"));
    std::array<std::uint8_t, header::kSize> head{};
    if (!file->readAt(0, head))
        return refuse(&m_problem, "patch-truncated",
                      QStringLiteral("%1 bytes, shorter than a patch header").arg(file->size()));
    const bytes::Fixed<header::kSize> in{head};
    const std::uint64_t newFont = std::min<std::uint64_t>(in.u32<header::kFontLength>(), largestNewFont);
    if (file->size() > largestPatch(newFont))
        return refuse(&m_problem, "patch-too-large",
                      QStringLiteral("%1 bytes, more than any patch of a font of %2 bytes can hold")
                          .arg(file->size())
                          .arg(newFont));
    try {
        auto bytes = file->read(0, file->size());
        if (!bytes) return refuse(&m_problem, "patch-unreadable", QStringLiteral("reading it failed"));
        if (expected && sha256Of(*bytes) != *expected)
            return refuse(&m_problem, "patch-sha256",
                          QStringLiteral("its SHA-256 is %1, not the %2 the manifest lists")
                              .arg(sha256Of(*bytes).hex(), expected->hex()));
        return loadSabunBytes(std::move(*bytes));
    } catch (const std::bad_alloc&) {
        return refuse(&m_problem, "patch-memory", QStringLiteral("no memory to hold it"));
    }
}

bool MakeSabunData::loadSabunBytes(std::vector<std::uint8_t> image) {
    // A new load replaces whatever an earlier one left.
    m_SabunTagArray.clear();
    std::memset(&m_UpdateHeader, 0, sizeof m_UpdateHeader);
    m_pReadData.clear();
    m_fileLength = 0;

    // Offsets in a patch are 32-bit and the length is kept signed: a larger file is no patch.
    if (image.empty()) return refuse(&m_problem, "patch-truncated", QStringLiteral("the file is empty"));
    if (image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return refuse(&m_problem, "patch-too-large", QStringLiteral("%1 bytes").arg(image.size()));
    m_fileLength = static_cast<std::int32_t>(image.size());
    m_pReadData = std::move(image);
    bool loaded = false;
    try {
        loaded = loadRecords();
    } catch (const std::bad_alloc&) {
        loaded = refuse(&m_problem, "patch-memory", QStringLiteral("no memory for its records"));
    }
    if (!loaded) m_SabunTagArray.clear();
    return loaded;
}

bool MakeSabunData::loadRecords() {
    const std::span<const std::uint8_t> file(m_pReadData);
    const bytes::Reader in(file);

    const auto head = in.fixed<header::kSize>(0);
    if (!head)
        return refuse(&m_problem, "patch-truncated",
                      QStringLiteral("%1 bytes, shorter than a patch header").arg(file.size()));
    std::memcpy(m_UpdateHeader.font_header, head->slice<header::kMagic, 4>().data(), 4);
    std::memcpy(m_UpdateHeader.font_name, head->slice<header::kFontName, header::kFontNameSize>().data(),
                header::kFontNameSize);
    m_UpdateHeader.font_version = head->u32<header::kFontVersion>();
    m_UpdateHeader.font_length = head->u32<header::kFontLength>();
    m_UpdateHeader.tagNum = head->u8<header::kTagNum>();
    std::memcpy(m_UpdateHeader.createtime, head->slice<header::kCreateTime, header::kCreateTimeSize>().data(),
                header::kCreateTimeSize);

    // Every record first, before any instruction is read.
    const std::size_t count = m_UpdateHeader.tagNum;
    const std::size_t recordsEnd = patchfile::recordAt(count);
    if (!in.has(0, recordsEnd))
        return refuse(&m_problem, "patch-truncated",
                      QStringLiteral("its %1 table records run past its %2 bytes").arg(count).arg(file.size()));
    std::bitset<256> slotsTaken;
    std::vector<std::pair<std::uint32_t, SabunTagObject*>> blocks;  // offset, record
    m_SabunTagArray.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const auto r = *in.fixed<record::kSize>(patchfile::recordAt(k));
        const std::uint8_t slot = r.u8<record::kTablePos>();
        const auto tag = r.slice<record::kName, 4>();
        const std::uint32_t sabunOffset = r.u32<record::kSabunOffset>();
        // One record for each slot of the new directory, and each table named once.
        const QString quotedTag = quoted(Tag(tag));
        if (slot >= count || slotsTaken.test(slot))
            return refuse(&m_problem, "patch-records",
                          QStringLiteral("the record of table %1 takes slot %2 of %3, %4")
                              .arg(quotedTag)
                              .arg(slot)
                              .arg(count)
                              .arg(slot >= count ? QStringLiteral("which the directory lacks")
                                                 : QStringLiteral("which another record takes")));
        slotsTaken.set(slot);
        for (const auto& earlier : m_SabunTagArray) {
            char name[5] = {0, 0, 0, 0, 0};
            earlier->getTagName(name);
            if (std::memcmp(name, tag.data(), 4) == 0)
                return refuse(&m_problem, "patch-records", QStringLiteral("table %1 named twice").arg(quotedTag));
        }
        // A block lies behind the records, inside the file.
        if (sabunOffset != 0 && (sabunOffset < recordsEnd || sabunOffset >= m_pReadData.size()))
            return refuse(&m_problem, "patch-blocks",
                          QStringLiteral("the block of table %1 at %2 lies %3")
                              .arg(quotedTag)
                              .arg(sabunOffset)
                              .arg(sabunOffset < recordsEnd ? QStringLiteral("over the records")
                                                            : QStringLiteral("past the file's end")));

        auto added = std::make_unique<SabunTagObject>();
        added->setTagTableData(reinterpret_cast<const char*>(tag.data()), slot, r.u8<record::kDataPos>(), sabunOffset,
                               r.u32<record::kUpDataLength>(), r.u32<record::kUpDataOffset>());
        if (sabunOffset != 0) blocks.emplace_back(sabunOffset, added.get());
        m_SabunTagArray.push_back(std::move(added));
    }

    // Each block ends before the next begins: two records never share instructions, so the
    // instructions of a patch are at most as many as its bytes allow.
    std::sort(blocks.begin(), blocks.end());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::size_t at = blocks[b].first;
        const std::size_t end = b + 1 < blocks.size() ? blocks[b + 1].first : m_pReadData.size();
        if (end == at)
            return refuse(&m_problem, "patch-blocks", QStringLiteral("two records share the block at %1").arg(at));
        if (!blocks[b].second->setOldNewData(file.subspan(at, end - at), &m_problem)) return false;
    }
    return true;
}

const SabunTagObject* MakeSabunData::getSabunTagTableNum(std::int32_t slot) const {
    for (const auto& record : m_SabunTagArray)
        if (record->getUpdateTagTable().tablePos == slot) return record.get();
    return nullptr;
}

}  // namespace fr
