// Patch files on disk: recognising one by its header, and loading one.

#include "patch/MakeSabunData.h"
#include "support/FakePlatform.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

using namespace testsupport;
using fr::MakeSabunData;

namespace {

const QString kPath = QStringLiteral("/Applications/Reviser/host/patch.bin");

struct Checked {
    bool ok;
    std::array<char, 255> name;
    std::uint32_t version;
};

Checked check(TestPlatform& fs, const Bytes& bytes) {
    fs.writeFile(kPath, bytes);
    Checked c{false, {}, 0xDEADBEEF};
    c.name.fill(0);
    c.ok = MakeSabunData::checkSabunData(fs.files(), kPath, c.name.data(), c.version);
    return c;
}

TEST(PatchFile, MagicNameAndVersionAreRead) {
    TestPlatform fs;
    PatchLayout layout;
    layout.fontName = "Velmora-Std-W9";
    layout.fontVersion = 0x00020001;
    const Checked c = check(fs, buildPatch(layout));
    ASSERT_TRUE(c.ok);
    EXPECT_STREQ(c.name.data(), "Velmora-Std-W9");
    EXPECT_EQ(c.version, 0x00020001u);
}

TEST(PatchFile, FullLengthNameEndsInTheCallersBuffer) {
    TestPlatform fs;
    PatchLayout layout;
    layout.fontName = std::string(32, 'K');
    const Checked c = check(fs, buildPatch(layout));
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(std::string(c.name.data()), std::string(32, 'K'));
    EXPECT_EQ(c.name[32], 0);
}

TEST(PatchFile, OtherMagicOrShortFilesAreNoPatch) {
    TestPlatform fs;
    for (const std::string& magic : {std::string("SBDf"), std::string("SB\0\0", 4), std::string("\0BDF", 4)}) {
        PatchLayout layout;
        layout.magic = magic;
        const Checked c = check(fs, buildPatch(layout));
        EXPECT_FALSE(c.ok);
        EXPECT_EQ(c.version, 0xDEADBEEFu);
        EXPECT_EQ(c.name[0], 0);
    }
    const Bytes header = buildPatch({});
    EXPECT_FALSE(check(fs, Bytes(header.begin(), header.begin() + 39)).ok);
    EXPECT_TRUE(check(fs, Bytes(header.begin(), header.begin() + 40)).ok);
    EXPECT_FALSE(check(fs, {}).ok);

    Checked missing{false, {}, 7};
    EXPECT_FALSE(MakeSabunData::checkSabunData(fs.files(), QStringLiteral("/nowhere/patch.bin"), missing.name.data(),
                                               missing.version));
    EXPECT_EQ(missing.version, 7u);
}

TEST(PatchFile, LoadsFromDisk) {
    TestPlatform fs;
    PatchLayout layout;
    layout.tables.push_back({"name", 0, 0, 8, 64, true, {}, {{0, {1, 2}}}});
    fs.writeFile(kPath, buildPatch(layout));
    MakeSabunData patch;
    ASSERT_TRUE(patch.loadSabunData(fs.files(), kPath, 1u << 20));
    EXPECT_NE(patch.getSabunTagTableNum(0), nullptr);

    MakeSabunData missing;
    EXPECT_FALSE(missing.loadSabunData(fs.files(), QStringLiteral("/nowhere/patch.bin"), 1u << 20));
    fs.writeFile(kPath, {});
    MakeSabunData empty;
    EXPECT_FALSE(empty.loadSabunData(fs.files(), kPath, 1u << 20));
}

}  // namespace
