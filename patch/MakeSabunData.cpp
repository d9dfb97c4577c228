#include "patch/MakeSabunData.h"

#include "fonttables/ByteReader.h"
#include "patch/PatchLayout.h"
#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

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

bool MakeSabunData::checkSabunData(const QString& path, char* name255, std::uint32_t& version) {
    // Only the bytes the listing needs are read.
    const auto file = platform::files().openForReading(path);
    if (!file) return false;
    std::array<std::uint8_t, header::kListedSize> listed{};
    if (!file->readAt(0, listed) || !hasMagic(listed)) return false;
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

bool MakeSabunData::loadSabunData(const QString& path, std::uint64_t largestNewFont) {
    const auto file = platform::files().openForReading(path);
    if (!file || file->size() == 0) return false;
    std::array<std::uint8_t, header::kSize> head{};
    if (!file->readAt(0, head)) return false;
    const bytes::Fixed<header::kSize> in{head};
    const std::uint64_t newFont = std::min<std::uint64_t>(in.u32<header::kFontLength>(), largestNewFont);
    if (file->size() > largestPatch(newFont)) return false;
    auto bytes = file->read(0, file->size());
    if (!bytes) return false;
    return loadSabunBytes(std::move(*bytes));
}

bool MakeSabunData::loadSabunBytes(std::vector<std::uint8_t> image) {
    // A new load replaces whatever an earlier one left.
    m_SabunTagArray.clear();
    std::memset(&m_UpdateHeader, 0, sizeof m_UpdateHeader);
    m_pReadData.clear();
    m_fileLength = 0;

    // Offsets in a patch are 32-bit and the length is kept signed: a larger file is no patch.
    if (image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;
    m_fileLength = static_cast<std::int32_t>(image.size());
    if (image.empty()) return false;

    m_pReadData = std::move(image);
    m_pReadData.push_back(0);
    const std::span<const std::uint8_t> file(m_pReadData.data(), static_cast<std::size_t>(m_fileLength));
    const bytes::Reader in(file);

    const auto head = in.fixed<header::kSize>(0);
    if (!head) return false;
    std::memcpy(m_UpdateHeader.font_header, head->slice<header::kMagic, 4>().data(), 4);
    std::memcpy(m_UpdateHeader.font_name, head->slice<header::kFontName, header::kFontNameSize>().data(),
                header::kFontNameSize);
    m_UpdateHeader.font_version = head->u32<header::kFontVersion>();
    m_UpdateHeader.font_length = head->u32<header::kFontLength>();
    m_UpdateHeader.tagNum = head->u8<header::kTagNum>();
    std::memcpy(m_UpdateHeader.createtime, head->slice<header::kCreateTime, header::kCreateTimeSize>().data(),
                header::kCreateTimeSize);

    for (std::size_t k = 0; k < m_UpdateHeader.tagNum; ++k) {
        const auto r = in.fixed<record::kSize>(patchfile::recordAt(k));
        if (!r) return false;
        const std::uint32_t sabunOffset = r->u32<record::kSabunOffset>();
        auto added = std::make_unique<SabunTagObject>();
        added->setTagTableData(reinterpret_cast<const char*>(r->slice<record::kName, 4>().data()),
                               r->u8<record::kTablePos>(), r->u8<record::kDataPos>(), sabunOffset,
                               r->u32<record::kUpDataLength>(), r->u32<record::kUpDataOffset>());
        SabunTagObject& tagObject = *added;
        m_SabunTagArray.push_back(std::move(added));

        if (sabunOffset >= static_cast<std::uint32_t>(m_fileLength)) return false;
        if (sabunOffset != 0 && !tagObject.setOldNewData(file.subspan(sabunOffset))) return false;
    }
    return true;
}

const SabunTagObject* MakeSabunData::getSabunTagTableNum(std::int32_t slot) const {
    for (const auto& record : m_SabunTagArray)
        if (record->getUpdateTagTable().tablePos == slot) return record.get();
    return nullptr;
}

}  // namespace fr
