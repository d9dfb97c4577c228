#include "patch/SabunRecords.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "patch/PatchLayout.h"

#include <cstring>

namespace fr {

_oldFontStruct OldTagObject::getOldFontStruct() const {
    const bytes::Fixed<patchfile::block::kOldCopySize> in(m_bytes);
    return {in.u32<0>(), in.u32<4>(), in.u32<8>()};
}

std::uint32_t NewTagObject::getChkSum() const { return CommonTool::tableChecksum(m_data); }

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

bool SabunTagObject::setOldNewData(std::span<const std::uint8_t> block, Reason* why) {
    namespace b = patchfile::block;
    m_bUpdateFlag = true;
    m_block = block;
    const bytes::Reader in(block);
    // Every instruction writes at least one byte of the new table, or is there for nothing.
    const std::uint64_t allowed = m_UpdateTabTable.up_datalength;

    const Tag tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(m_TagName), 4));
    const auto tooMany = [&] {
        return refuse(why, "patch-instructions",
                      QStringLiteral("the block of table %1 at %2 holds more instructions than its %3 bytes need")
                          .arg(quoted(tag))
                          .arg(m_UpdateTabTable.sabunOffset)
                          .arg(allowed));
    };
    const auto cut = [&] {
        return refuse(why, "patch-truncated",
                      QStringLiteral("the block of table %1 at %2 runs past its end")
                          .arg(quoted(tag))
                          .arg(m_UpdateTabTable.sabunOffset));
    };

    const auto oldCount = in.u32(b::kOldCount);
    if (!oldCount) return cut();
    if (*oldCount > allowed) return tooMany();
    // The old copies and the new-data count must all be there before any is read, so a count
    // of billions is refused without a walk.
    const std::uint64_t newCountAt = b::kOldCopiesAt + b::kOldCopySize * std::uint64_t{*oldCount};
    const auto copies = in.slice(b::kOldCopiesAt, newCountAt - b::kOldCopiesAt);
    const auto newCount = in.u32(newCountAt);
    if (!copies || !newCount) return cut();
    if (*newCount > allowed - *oldCount) return tooMany();
    // Each new-data instruction takes at least its head, so no more can fit than this.
    std::uint64_t p = newCountAt + 4;
    if (*newCount > (block.size() - p) / b::kNewDataHeadSize) return cut();
    m_oldCopies = *copies;

    // The instructions together write no more than the new table holds, so each byte of the
    // installed table they read is read at most once per byte written: the work a patch asks
    // for is bounded by the font it makes, whatever its copies overlap.
    std::uint64_t written = 0;
    const bytes::Reader copied(m_oldCopies);
    for (std::uint32_t j = 0; j < *oldCount; ++j) written += copied.u32(b::kOldCopySize * j + 4).value_or(0);
    m_newAt.reserve(*newCount);
    for (std::uint32_t i = 0; i < *newCount; ++i) {
        const auto length = in.u32(p + 4);
        if (!length || !in.has(p + b::kNewDataHeadSize, *length)) return cut();
        m_newAt.push_back(static_cast<std::uint32_t>(p));
        written += *length;
        p += b::kNewDataHeadSize + std::uint64_t{*length};
    }
    if (written > allowed)
        return refuse(why, "patch-work",
                      QStringLiteral("the instructions of table %1 write %2 bytes into a table of %3")
                          .arg(quoted(tag))
                          .arg(written)
                          .arg(allowed));
    return true;
}

void SabunTagObject::getTagName(char* out5) const { std::memcpy(out5, m_TagName, sizeof m_TagName); }

std::optional<OldTagObject> SabunTagObject::getOldTagObject(std::int32_t index) const {
    constexpr std::size_t kSize = patchfile::block::kOldCopySize;
    if (index < 0 || index >= getOldCopyArraySize()) return std::nullopt;
    return OldTagObject(m_oldCopies.subspan(kSize * static_cast<std::size_t>(index)).first<kSize>());
}

std::optional<NewTagObject> SabunTagObject::getNewTagObject(std::int32_t index) const {
    if (index < 0 || index >= getNewCopyArraySize()) return std::nullopt;
    // Checked whole when the block was taken.
    const std::size_t at = m_newAt[static_cast<std::size_t>(index)];
    const bytes::Fixed<patchfile::block::kNewDataHeadSize> head(
        m_block.subspan(at).first<patchfile::block::kNewDataHeadSize>());
    const _newFontStruct data{head.u32<0>(), head.u32<4>()};
    return NewTagObject(data, m_block.subspan(at + patchfile::block::kNewDataHeadSize, data.length));
}

TableInstructions::Placement SabunTagObject::placement() const {
    return {m_UpdateTabTable.tablePos, m_UpdateTabTable.dataPos, m_UpdateTabTable.up_datalength,
            m_UpdateTabTable.up_dataOffset};
}

_newFontStruct SabunTagObject::newData(std::int32_t index, std::span<const std::uint8_t>& bytes) const {
    const NewTagObject added = *getNewTagObject(index);
    bytes = added.data();
    return added.getNewStructFont();
}

}  // namespace fr
