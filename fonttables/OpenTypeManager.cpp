#include "fonttables/OpenTypeManager.h"

#include "fonttables/CommonTool.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDirectory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace fr {

const char* const kAcceptedTags[17] = {"BASE", "CFF ", "GPOS", "GSUB", "OS/2", "VORG", "cmap", "head", "hhea",
                                       "hmtx", "maxp", "name", "post", "vhea", "vmtx", "EBLC", "EBDT"};

namespace {
bool isAcceptedTag(const Tag& tag) {
    return std::any_of(std::begin(kAcceptedTags), std::end(kAcceptedTags), [&](const char* accepted) {
        return Tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(accepted), 4)) == tag;
    });
}
}  // namespace

OpenTypeManager::OpenTypeManager() { m_ObjectType = 0; }

// The members go in reverse order: the tables (which point into the installed bytes) before
// the installed bytes themselves.
OpenTypeManager::~OpenTypeManager() = default;

std::span<const std::uint8_t> OpenTypeManager::installedFont() const {
    return std::span<const std::uint8_t>(m_pReadData).first(static_cast<std::size_t>(m_fileLength));
}

std::int32_t OpenTypeManager::loadInstalledFont(std::vector<std::uint8_t> bytes) {
    // The table objects point into the bytes being replaced.
    m_TagArray.clear();
    m_sfntHead = {};
    // Lengths are 32-bit signed throughout the engine: a larger file is no font of ours.
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) bytes.clear();
    m_fileLength = static_cast<std::int32_t>(bytes.size());
    m_pReadData = std::move(bytes);
    const std::span<const std::uint8_t> font = installedFont();

    if (!checkOpenTypeHeader(font, m_fileLength, m_sfntHead)) return result::kFontUnusable;
    for (std::size_t i = 0; i < m_sfntHead.numTables; ++i) {
        const auto record = readTableRecord(font, i);
        if (!record || !isAcceptedTag(record->tag)) return result::kFontUnusable;
        if (!tableBytes(font, *record) || !CommonTool::byte4_chk_checked(record->length)) return result::kFontUnusable;
        auto table = std::make_unique<TagObj>();
        table->CreateTagObject(2, font.data() + sfnt::recordAt(i), font);
        m_TagArray.push_back(std::move(table));
    }
    return result::kRevised;
}

bool OpenTypeManager::checkOpenTypeHeader(std::span<const std::uint8_t> bytes, std::int32_t length, _sfntHeader& out) {
    // Never trust the stated length beyond the bytes actually held.
    const std::size_t usable = std::min<std::size_t>(length < 0 ? 0 : static_cast<std::size_t>(length), bytes.size());
    const auto header = readOffsetTable(bytes.first(usable));
    if (!header) return false;
    out = *header;  // filled whatever the version says
    return std::memcmp(bytes.data(), "OTTO", 4) == 0;
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

bool OpenTypeManager::allocateImage(std::uint32_t length) {
    releaseImage();
    try {
        m_pWriteData.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_WriteLength = length;
    return true;
}

void OpenTypeManager::setImage(std::vector<std::uint8_t> image, _sfntHeader header) {
    m_WriteLength = static_cast<std::uint32_t>(image.size());
    m_pWriteData = std::move(image);
    m_sfntHead = header;
}

std::span<std::uint8_t> OpenTypeManager::image() {
    return std::span<std::uint8_t>(m_pWriteData).first(std::min<std::size_t>(m_WriteLength, m_pWriteData.size()));
}
std::span<const std::uint8_t> OpenTypeManager::image() const {
    return std::span<const std::uint8_t>(m_pWriteData).first(std::min<std::size_t>(m_WriteLength, m_pWriteData.size()));
}

// The new font's length stays known: the written file is checked against it.
void OpenTypeManager::releaseImage() { std::vector<std::uint8_t>().swap(m_pWriteData); }

}  // namespace fr
