#include "patch/MakeSabunData.h"

#include "fonttables/ByteReader.h"
#include "platform/Platform.h"

#include <cstring>
#include <limits>

namespace fr {

namespace {
constexpr std::size_t kHeaderSize = sizeof(_UPDATE_HEADER);    // 53
constexpr std::size_t kRecordSize = sizeof(_UPDATE_TAG_TABLE);  // 18
constexpr std::size_t kCheckedHeaderBytes = 40;                 // magic, name, version

// The four magic bytes, compared as a zero-terminated string: a zero byte never matches.
bool hasMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "SBDF", 4) == 0;
}
}  // namespace

MakeSabunData::MakeSabunData() { std::memset(&m_UpdateHeader, 0, sizeof m_UpdateHeader); }

bool MakeSabunData::checkSabunData(const QString& path, char* name255, std::uint32_t& version) {
    const auto file = platform::files().readAll(path);
    if (!file || file->size() < kCheckedHeaderBytes || !hasMagic(*file)) return false;
    const bytes::Reader in(*file);
    std::memcpy(name255, file->data() + 4, 32);
    version = *in.u32(36);
    return true;
}

bool MakeSabunData::loadSabunData(const QString& path) {
    auto file = platform::files().readAll(path);
    if (!file) return false;
    return loadSabunBytes(std::move(*file));
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

    if (!in.has(0, kHeaderSize)) return false;
    std::memcpy(m_UpdateHeader.font_header, file.data(), 4);
    std::memcpy(m_UpdateHeader.font_name, file.data() + 4, 32);
    m_UpdateHeader.font_version = *in.u32(36);
    m_UpdateHeader.font_length = *in.u32(40);
    m_UpdateHeader.tagNum = *in.u8(44);
    std::memcpy(m_UpdateHeader.createtime, file.data() + 45, 8);

    for (std::size_t k = 0; k < m_UpdateHeader.tagNum; ++k) {
        const std::size_t at = kHeaderSize + kRecordSize * k;
        if (!in.has(at, kRecordSize)) return false;
        const std::uint32_t sabunOffset = *in.u32(at + 6);
        auto record = std::make_unique<SabunTagObject>();
        record->setTagTableData(reinterpret_cast<const char*>(file.data() + at), *in.u8(at + 4), *in.u8(at + 5),
                                sabunOffset, *in.u32(at + 10), *in.u32(at + 14));
        SabunTagObject& added = *record;
        m_SabunTagArray.push_back(std::move(record));

        if (sabunOffset >= static_cast<std::uint32_t>(m_fileLength)) return false;
        if (sabunOffset != 0 && !added.setOldNewData(file.subspan(sabunOffset))) return false;
    }
    return true;
}

const SabunTagObject* MakeSabunData::getSabunTagTableNum(std::int32_t slot) const {
    for (const auto& record : m_SabunTagArray)
        if (record->getUpdateTagTable().tablePos == slot) return record.get();
    return nullptr;
}

}  // namespace fr
