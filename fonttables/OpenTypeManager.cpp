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

const platform::ReadableBytes& OpenTypeManager::installedFont() const {
    static const platform::BytesInMemory kNone({});
    if (m_installed) return *m_installed;
    return kNone;
}

std::int32_t OpenTypeManager::loadInstalledFont(std::vector<std::uint8_t> bytes) {
    return loadInstalledFont(std::make_unique<platform::BytesInMemory>(std::move(bytes)));
}

std::int32_t OpenTypeManager::loadInstalledFont(std::unique_ptr<platform::ReadableBytes> font) {
    // The table objects point into the directory being replaced.
    m_TagArray.clear();
    m_sfntHead = {};
    m_pReadData.clear();
    m_fileLength = 0;
    m_installed = std::move(font);
    if (!m_installed) return result::kFontUnusable;
    // Lengths are 32-bit signed throughout the engine: a larger file is no font of ours.
    const std::uint64_t size = m_installed->size();
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return result::kFontUnusable;
    m_fileLength = static_cast<std::int32_t>(size);

    const auto offsetTable = m_installed->read(0, sfnt::offset_table::kSize);
    if (!offsetTable || !checkOpenTypeHeader(*offsetTable, sfnt::offset_table::kSize, m_sfntHead))
        return result::kFontUnusable;
    auto directory = m_installed->read(0, sfnt::recordAt(m_sfntHead.numTables));
    if (!directory) return result::kFontUnusable;
    m_pReadData = std::move(*directory);

    for (std::size_t i = 0; i < m_sfntHead.numTables; ++i) {
        const auto record = readTableRecord(m_pReadData, i);
        if (!record || !isAcceptedTag(record->tag)) return result::kFontUnusable;
        if (record->offset > size || record->length > size - record->offset ||
            !CommonTool::byte4_chk_checked(record->length))
            return result::kFontUnusable;
        auto table = std::make_unique<TagObj>();
        table->CreateTagObject(2, m_pReadData.data() + sfnt::recordAt(i), *m_installed);
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
    m_pWriteData = ZeroedBuffer::ofSize(length);
    if (m_pWriteData.size() != length) return false;
    m_WriteLength = length;
    return true;
}

void OpenTypeManager::setImage(std::vector<std::uint8_t> image, _sfntHeader header) {
    m_pWriteData = ZeroedBuffer::ofSize(image.size());
    if (!image.empty()) std::memcpy(m_pWriteData.bytes().data(), image.data(), image.size());
    m_WriteLength = static_cast<std::uint32_t>(m_pWriteData.size());
    m_sfntHead = header;
}

std::span<std::uint8_t> OpenTypeManager::image() {
    return m_pWriteData.bytes().first(std::min<std::size_t>(m_WriteLength, m_pWriteData.size()));
}
std::span<const std::uint8_t> OpenTypeManager::image() const {
    return m_pWriteData.bytes().first(std::min<std::size_t>(m_WriteLength, m_pWriteData.size()));
}

// The new font's length stays known: the written file is checked against it.
void OpenTypeManager::releaseImage() { m_pWriteData = ZeroedBuffer(); }

}  // namespace fr
