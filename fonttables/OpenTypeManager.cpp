#include "fonttables/OpenTypeManager.h"

#include "fonttables/ByteReader.h"
#include "fonttables/CommonTool.h"
#include "patch/MakeSabunData.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace fr {

const char* const kAcceptedTags[17] = {"BASE", "CFF ", "GPOS", "GSUB", "OS/2", "VORG", "cmap", "head", "hhea",
                                       "hmtx", "maxp", "name", "post", "vhea", "vmtx", "EBLC", "EBDT"};

namespace {

// Tags compare as zero-terminated strings: a zero byte inside a tag ends it early.
bool isAcceptedTag(const std::uint8_t* tagBytes) {
    char tag[5] = {0, 0, 0, 0, 0};
    std::memcpy(tag, tagBytes, 4);
    for (const char* accepted : kAcceptedTags)
        if (std::strcmp(tag, accepted) == 0) return true;
    return false;
}
}  // namespace

OpenTypeManager::OpenTypeManager() { m_ObjectType = 0; }

// The members go in reverse order: the tables (which point into the installed bytes) before
// the installed bytes themselves.
OpenTypeManager::~OpenTypeManager() = default;

void OpenTypeManager::setReadData(std::vector<std::uint8_t> image) {
    // The table objects point into the bytes being replaced.
    m_TagArray.clear();
    // A font is at most 2 GB here; anything beyond that is never looked at.
    const std::size_t usable = std::min<std::size_t>(image.size(), std::numeric_limits<std::int32_t>::max());
    m_fileLength = static_cast<std::int32_t>(usable);
    m_pReadData = std::move(image);
    m_pReadData.push_back(0);
}

std::int32_t OpenTypeManager::buildTagObjects() {
    m_TagArray.clear();
    const std::size_t fileLength =
        std::min<std::size_t>(m_fileLength < 0 ? 0 : static_cast<std::size_t>(m_fileLength), m_pReadData.size());
    const std::span<const std::uint8_t> font(m_pReadData.data(), fileLength);
    const bytes::Reader in(font);

    for (std::size_t i = 0; i < m_sfntHead.numTables; ++i) {
        const std::size_t at = kOffsetTableSize + kTableRecordSize * i;
        if (!in.has(at, kTableRecordSize)) return result::kFontUnusable;
        if (!isAcceptedTag(font.data() + at)) return result::kFontUnusable;
        const std::uint32_t offset = *in.u32(at + 8);
        const std::uint32_t length = *in.u32(at + 12);
        if (!in.has(offset, length) || !CommonTool::byte4_chk_checked(length)) return result::kFontUnusable;

        auto table = std::make_unique<TagObj>();
        table->CreateTagObject(2, font.data() + at, font);
        m_TagArray.push_back(std::move(table));
    }
    return result::kRevised;
}

TagObj* OpenTypeManager::getTagObjectName(const char* tag) const {
    if (tag == nullptr) return nullptr;
    for (const auto& table : m_TagArray) {
        char name[5] = {0, 0, 0, 0, 0};
        table->getTagName(name);
        if (std::strcmp(name, tag) == 0) return table.get();
    }
    return nullptr;
}

TagObj* OpenTypeManager::getTagObjectIndex(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_TagArray.size()) return nullptr;
    return m_TagArray[static_cast<std::size_t>(index)].get();
}

}  // namespace fr
