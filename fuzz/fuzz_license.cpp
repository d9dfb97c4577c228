// The License Description carry-over: the installed font's strings read, then written into
// a new image, with the byte layer's steps the name carry-over stage takes. When it succeeds,
// nothing outside the new 'name' table and its directory checksum changed and that checksum
// is the table's; when it is refused, nothing changed.

#include "FuzzSupport.h"

#include "fonttables/InstalledFont.h"
#include "fonttables/LicenseStrings.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [installed, image] = fuzzing::split(data, size);
    fr::InstalledFont font;
    fr::InstalledFont::NameField mac{}, windows{};
    if (!font.load(std::make_unique<platform::BytesInMemory>(installed)) || !font.getSerialNumber(mac, windows))
        return 0;
    if (image.size() < 12) return 0;
    const std::size_t numTables = fuzzing::be16(image, 4);
    fuzzing::Bytes after = image;
    const auto name = fr::findNameRecord(after, numTables);
    const auto places = name ? fr::licenseSlots(after, name->record) : std::nullopt;
    if (!places) {
        if (after != image) fuzzing::finding("a refused carry-over changed the image");
        return 0;
    }
    fr::writeLicenseStrings(after, *places, mac, windows);
    fr::refreshTableChecksum(after, *name);
    // The first 'name' record of the directory, as the format has it.
    std::size_t at = 0;
    for (std::size_t i = 0; i < numTables && 12 + 16 * (i + 1) <= image.size(); ++i)
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
        if (!inTable && !inChecksum && after[k] != image[k])
            fuzzing::finding("a byte outside the 'name' table changed");
    }
    // (A directory record inside its own table changes the table as it is written: only an
    // image built by hand has one, the assembly refuses such a layout.)
    const bool recordInTable = at + 8 > offset && at < offset + length;
    if (!recordInTable && fuzzing::be32(after, at + 4) != fuzzing::wordSum(after, offset, length))
        fuzzing::finding("the 'name' checksum is not the table's");
    return 0;
}
