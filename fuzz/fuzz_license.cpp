// The License Description carry-over: the installed font's strings read, then written into
// a new image. When it succeeds, nothing outside the new 'name' table and its directory
// checksum changed and that checksum is the table's; when it fails, nothing changed.

#include "FuzzSupport.h"

#include "fonttables/OpenTypeManager.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [installed, image] = fuzzing::split(data, size);
    fr::OpenTypeManager m;
    if (m.loadInstalledFont(installed) != fr::result::kRevised || !m.readLicenseStrings()) return 0;
    if (image.size() < 12) return 0;
    fr::_sfntHeader header;
    header.numTables = fuzzing::be16(image, 4);
    m.setImage(image, header);
    const std::int32_t code = m.changeSerialNumber(QStringLiteral("/Fonts/a.otf"), header, nullptr, nullptr, 1, 0);
    const fuzzing::Bytes after(m.image().begin(), m.image().end());
    if (code != fr::result::kRevised) {
        if (after != image) fuzzing::finding("a refused carry-over changed the image");
        return 0;
    }
    // The first 'name' record of the directory, as the format has it.
    std::size_t at = 0;
    for (std::size_t i = 0; i < header.numTables && 12 + 16 * (i + 1) <= image.size(); ++i)
        if (std::memcmp(image.data() + 12 + 16 * i, "name", 4) == 0) {
            at = 12 + 16 * i;
            break;
        }
    if (at == 0) fuzzing::finding("a carry-over without a 'name' record");
    const std::size_t offset = fuzzing::be32(image, at + 8), length = fuzzing::be32(image, at + 12);
    if (offset > image.size() || length > image.size() - offset) fuzzing::finding("a 'name' table outside the image");
    for (std::size_t k = 0; k < image.size(); ++k) {
        const bool inTable = k >= offset && k < offset + length;
        const bool inChecksum = k >= at + 4 && k < at + 8;
        if (!inTable && !inChecksum && after[k] != image[k]) fuzzing::finding("a byte outside the 'name' table changed");
    }
    // (A directory record inside its own table changes the table as it is written: only an
    // image built by hand has one, the assembly refuses such a layout.)
    const bool recordInTable = at + 8 > offset && at < offset + length;
    if (!recordInTable && fuzzing::be32(after, at + 4) != fuzzing::wordSum(after, offset, length))
        fuzzing::finding("the 'name' checksum is not the table's");
    return 0;
}
