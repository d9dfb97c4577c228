#pragma once
// The installed font being revised, as the revision reads it: its offset table, its
// directory as one TagObj per record, and the License Description strings it carries. The
// font is read where it lies: its directory when it is taken, its tables only as the revision
// needs them.

#include "fonttables/FontTypes.h"
#include "fonttables/Reason.h"
#include "fonttables/TagObj.h"
#include "platform/ReadableBytes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace fr {

class InstalledFont {
public:
    using NameField = std::array<std::uint8_t, 255>;

    // Takes the font: reads its offset table and directory and makes one TagObj per record.
    // False for a file that is no CFF OpenType font, a tag outside the accepted list, or a
    // directory or table outside the file; then `why`, where given, says which.
    bool load(std::unique_ptr<platform::ReadableBytes> font, Reason* why = nullptr);

    // The font as taken (no bytes before a load).
    const platform::ReadableBytes& bytes() const;
    const _sfntHeader& header() const { return m_sfntHead; }
    // One TagObj per directory record, in directory order.
    const std::vector<std::unique_ptr<TagObj>>& tables() const { return m_TagArray; }
    TagObj* getTagObjectName(const char* tag) const;
    TagObj* getTagObjectIndex(std::int32_t index) const;

    // Reads the Macintosh (platform 1, Roman, English) and the Windows (platform 3, Unicode
    // BMP, US English) License Description strings, the first of each, into the two fields
    // (zero-filled by the caller). False when either is missing, lies outside the 'name'
    // table, or is longer than its field.
    bool getSerialNumber(NameField& mac, NameField& windows) const;

private:
    std::unique_ptr<platform::ReadableBytes> m_installed;  // the installed file, read where it lies
    std::vector<std::uint8_t> m_pReadData;                 // its offset table and directory
    std::int32_t m_fileLength = 0;
    std::vector<std::unique_ptr<TagObj>> m_TagArray;
    _sfntHeader m_sfntHead{};
};

// The seventeen table tags a revisable font may contain, in order.
extern const char* const kAcceptedTags[17];

}  // namespace fr
