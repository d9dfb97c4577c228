// The table model built from an installed font's bytes: a model is built only of a font
// whose every table lies inside the file, and each table reads back as the file holds it.

#include "FuzzSupport.h"

#include "fonttables/InstalledFont.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::Bytes bytes(data, data + size);
    fr::InstalledFont font;
    if (!font.load(std::make_unique<platform::BytesInMemory>(bytes))) return 0;
    if (size < 12 || std::memcmp(data, "OTTO", 4) != 0) fuzzing::finding("a model of no CFF OpenType font");
    const std::size_t n = fuzzing::be16(bytes, 4);
    if (font.tables().size() != n || 12 + 16 * n > size) fuzzing::finding("a model not of the directory");
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t offset = fuzzing::be32(bytes, 12 + 16 * i + 8),
                          length = fuzzing::be32(bytes, 12 + 16 * i + 12);
        if (offset > size || length > size - offset) fuzzing::finding("a table outside the file was taken");
        const auto table = font.getTagObjectIndex(static_cast<std::int32_t>(i))->installedTable();
        if (!table || *table != fuzzing::Bytes(bytes.begin() + offset, bytes.begin() + offset + length))
            fuzzing::finding("a table reads back otherwise than the file holds it");
    }
    fr::InstalledFont::NameField mac{}, windows{};
    (void)font.getSerialNumber(mac, windows);
    return 0;
}
