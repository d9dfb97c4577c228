#include "patch/SabunRecords.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "patch/PatchLayout.h"

#include <cstring>

namespace fr {

void OldTagObject::setOldFontStruct(std::uint32_t src_offset, std::uint32_t src_length, std::uint32_t dst_offset) {
    m_oldFontStruct = {src_offset, src_length, dst_offset};
}

void NewTagObject::setNewStructFont(std::uint32_t offset, std::uint32_t length, const std::uint8_t* data) {
    m_NewFontStruct = {offset, length};
    // Four spare zero bytes after the data, as the records have always held it.
    m_pData.assign(static_cast<std::size_t>(length) + 4, 0);
    if (length != 0) std::memcpy(m_pData.data(), data, length);
    m_chksum = CommonTool::tableChecksum(std::span<const std::uint8_t>(m_pData.data(), length));
}

void SabunTagObject::setTagTableData(const char* tag, std::uint8_t tablePos, std::uint8_t dataPos,
                                     std::uint32_t sabunOffset, std::uint32_t up_datalength,
                                     std::uint32_t up_dataOffset) {
    std::memset(m_TagName, 0, sizeof m_TagName);
    std::memcpy(m_TagName, tag, 4);
    std::memcpy(m_UpdateTabTable.name, tag, 4);
    m_UpdateTabTable.tablePos = tablePos;
    m_UpdateTabTable.dataPos = dataPos;
    m_UpdateTabTable.sabunOffset = sabunOffset;
    m_UpdateTabTable.up_datalength = up_datalength;
    m_UpdateTabTable.up_dataOffset = up_dataOffset;
}

bool SabunTagObject::setOldNewData(std::span<const std::uint8_t> block) {
    namespace b = patchfile::block;
    m_bUpdateFlag = true;
    const bytes::Reader in(block);

    const auto oldCount = in.fixed<4>(b::kOldCount);
    if (!oldCount) return false;
    const std::uint32_t m = oldCount->u32<0>();
    // The old-copy instructions and the new-data count must all be there before any is
    // read, so a count of billions is refused without a long walk.
    const std::uint64_t newCountAt = b::kOldCopiesAt + b::kOldCopySize * std::uint64_t{m};
    const auto copies = in.slice(b::kOldCopiesAt, newCountAt - b::kOldCopiesAt);
    const auto newCount = in.fixed<4>(newCountAt);
    if (!copies || !newCount) return false;
    m_oldCopyArray.reserve(m);
    for (std::uint32_t j = 0; j < m; ++j) {
        const bytes::Fixed<b::kOldCopySize> copy(
            copies->subspan(b::kOldCopySize * std::size_t{j}).first<b::kOldCopySize>());
        auto old = std::make_unique<OldTagObject>();
        old->setOldFontStruct(copy.u32<0>(), copy.u32<4>(), copy.u32<8>());
        m_oldCopyArray.push_back(std::move(old));
    }

    std::uint64_t p = newCountAt + 4;
    // Each instruction takes at least its 8-byte head, so the walk ends within the block.
    for (std::uint32_t i = 0, k = newCount->u32<0>(); i < k; ++i) {
        const auto head = in.fixed<b::kNewDataHeadSize>(p);
        if (!head) return false;
        const std::uint32_t length = head->u32<4>();
        const auto data = in.slice(p + b::kNewDataHeadSize, length);
        if (!data) return false;
        auto added = std::make_unique<NewTagObject>();
        added->setNewStructFont(head->u32<0>(), length, data->data());
        m_newCopyArray.push_back(std::move(added));
        p += b::kNewDataHeadSize + std::uint64_t{length};
    }
    return true;
}

void SabunTagObject::getTagName(char* out5) const { std::memcpy(out5, m_TagName, sizeof m_TagName); }

const OldTagObject* SabunTagObject::getOldTagObject(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_oldCopyArray.size()) return nullptr;
    return m_oldCopyArray[static_cast<std::size_t>(index)].get();
}

const NewTagObject* SabunTagObject::getNewTagObject(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_newCopyArray.size()) return nullptr;
    return m_newCopyArray[static_cast<std::size_t>(index)].get();
}

}  // namespace fr
