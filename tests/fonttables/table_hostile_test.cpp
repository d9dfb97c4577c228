// Fonts and patch records that lie about where their bytes are: the model refuses them
// cleanly and never reads or writes outside the installed bytes or the new table.

#include "fonttables/InstalledFont.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>

using namespace testsupport;
using fr::InstalledFont;
using fr::TagObj;

namespace {

Bytes smallFont() {
    return buildSfnt({{"head", headTable(0x80000)}, {"name", counting(21, 0x30)}, {"CFF ", counting(40, 0x80)}});
}

bool load(InstalledFont& font, const Bytes& bytes) {
    return font.load(std::make_unique<platform::BytesInMemory>(bytes));
}

TEST(HostileFont, EveryTruncationLoadsOnlyWhatItHolds) {
    const Bytes full = smallFont();
    for (std::size_t length = 0; length <= full.size(); ++length) {
        InstalledFont font;
        const bool loaded = load(font, Bytes(full.begin(), full.begin() + std::ptrdiff_t(length)));
        // The last table's 40 bytes end the file: any cut loses part of the font.
        EXPECT_EQ(loaded, length == full.size()) << length;
    }
}

TEST(HostileFont, TablesOutsideTheFileAreRefused) {
    const Bytes good = smallFont();
    const std::size_t cff = 12 + 16 * 2;
    struct Case {
        std::uint32_t offset, length;
    } cases[] = {{static_cast<std::uint32_t>(good.size()), 1},
                 {static_cast<std::uint32_t>(good.size() - 39), 40},
                 {0xFFFFFFF0u, 0x20},  // wraps to a small end in 32 bits
                 {8, 0xFFFFFFFCu},
                 {0, 0x80000000u}};
    for (const Case& c : cases) {
        Bytes bad = good;
        putU32(bad, cff + 8, c.offset);
        putU32(bad, cff + 12, c.length);
        InstalledFont font;
        EXPECT_FALSE(load(font, bad)) << c.offset << " " << c.length;
    }
    // A table of no bytes right at the end of the file is within it.
    Bytes empty = good;
    putU32(empty, cff + 8, static_cast<std::uint32_t>(good.size()));
    putU32(empty, cff + 12, 0);
    InstalledFont font;
    EXPECT_TRUE(load(font, empty));
}

TEST(HostileFont, DirectoryLongerThanTheFileIsRefused) {
    Bytes bad = smallFont();
    putU16(bad, 4, 0xFFFF);
    InstalledFont font;
    EXPECT_FALSE(load(font, bad));
}

}  // namespace
