// Whether an installed font is exactly the font and revision a patch source expects, and the
// offset table test they and the revision begin with.

#include "patch/FontEntries.h"
#include "patch/OpenTypeManager.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace testsupport;
using fr::OpenTypeManager;
using fr::SourceEntry;

const std::string kFullName = "VelmoraKakuGothicStdN-W9";

SourceEntry sourceFor(const QString& fontfile, std::optional<QString> fontname = QString::fromStdString(kFullName)) {
    SourceEntry s;
    s.fullpath = QStringLiteral("/Applications/Reviser/host/x.pa");
    s.fontfile = fontfile;
    s.fontname = std::move(fontname);
    return s;
}
const QString kStdNW9 = QStringLiteral(u"Velmora角ゴ StdN W9.otf");
const QString kStdW9 = QStringLiteral(u"Velmora角ゴ Std W9.otf");

NameRecord macFullName(const std::string& name) { return {1, 0, 0, 4, bytesOf(name)}; }

Bytes font(std::uint32_t revision, std::vector<NameRecord> names = {macFullName(kFullName)}) {
    return buildSfnt({{"CFF ", Bytes(8, 0)}, {"head", headTable(revision)}, {"name", nameTable(names)}});
}

class IdentityChecks : public ::testing::Test {
protected:
    // Runs the whole check on the bytes of an installed font.
    static bool check(const Bytes& bytes, const SourceEntry& source, std::uint64_t* revisionOut = nullptr) {
        std::uint64_t revision = 0xDEADBEEF;
        const bool ok = OpenTypeManager::checkOpenTypeVersion(platform::BytesInMemory(bytes), source, revision);
        if (revisionOut) *revisionOut = revision;
        return ok;
    }
};

TEST_F(IdentityChecks, ExactFontAndRevisionPassAndHandOutTheRevision) {
    std::uint64_t revision = 0;
    EXPECT_TRUE(check(font(0x00080000), sourceFor(kStdNW9), &revision));
    EXPECT_EQ(revision, 0x80000u);

    // The Std fonts expect 7.0, not 8.0.
    EXPECT_FALSE(check(font(0x00080000), sourceFor(kStdW9)));
    EXPECT_TRUE(check(font(0x00070000), sourceFor(kStdW9), &revision));
    EXPECT_EQ(revision, 0x70000u);

    // Japanese full names compare as decoded UTF-8.
    const std::string japanese = "Velmora角ゴ StdN W9";
    EXPECT_TRUE(check(font(0x00080000, {macFullName(japanese)}), sourceFor(kStdNW9, QString::fromUtf8(japanese))));
}

TEST_F(IdentityChecks, AnyOtherRevisionFailsButIsStillHandedOut) {
    std::uint64_t revision = 0;
    EXPECT_FALSE(check(font(0x00080001), sourceFor(kStdNW9), &revision));
    EXPECT_EQ(revision, 0x80001u);
    EXPECT_FALSE(check(font(0x00070000), sourceFor(kStdNW9)));
}

TEST_F(IdentityChecks, SourceOutsideTheRevisionTableMatchesNothing) {
    EXPECT_FALSE(check(font(0x00080000), sourceFor(QStringLiteral(u"Velmora角ゴ StdN W4.otf"))));
    // Keys compare exactly: a full-width blank or other case is another name.
    EXPECT_FALSE(check(font(0x00080000), sourceFor(QStringLiteral(u"Velmora角ゴ　StdN W9.otf"))));
    EXPECT_FALSE(check(font(0x00080000), sourceFor(QStringLiteral(u"velmora角ゴ StdN W9.otf"))));
}

TEST_F(IdentityChecks, OnlyCffOpenTypeFilesQualify) {
    const auto tables =
        std::vector<Table>{{"head", headTable(0x00080000)}, {"name", nameTable({macFullName(kFullName)})}};
    EXPECT_FALSE(check(buildSfnt(tables, std::string("\0\1\0\0", 4)), sourceFor(kStdNW9)));
    EXPECT_FALSE(check(buildSfnt(tables, "ttcf"), sourceFor(kStdNW9)));
    EXPECT_FALSE(check(Bytes{}, sourceFor(kStdNW9)));
    EXPECT_FALSE(check(bytesOf(std::string("OTTO\0\2\0\0\0\0\0", 11)), sourceFor(kStdNW9)));  // 11 bytes
    EXPECT_FALSE(check(buildSfnt({}), sourceFor(kStdNW9)));                                   // no tables
    EXPECT_FALSE(check(buildSfnt({{"name", nameTable({macFullName(kFullName)})}}), sourceFor(kStdNW9)));
    EXPECT_FALSE(check(buildSfnt({{"head", headTable(0x00080000)}}), sourceFor(kStdNW9)));
}

TEST_F(IdentityChecks, TagsCompareExactly) {
    EXPECT_FALSE(check(buildSfnt({{"HEAD", headTable(0x00080000)}, {"name", nameTable({macFullName(kFullName)})}}),
                       sourceFor(kStdNW9)));
    EXPECT_FALSE(check(buildSfnt({{"head", headTable(0x00080000)}, {"Name", nameTable({macFullName(kFullName)})}}),
                       sourceFor(kStdNW9)));
}

TEST_F(IdentityChecks, TheSecondHeadRecordMayCarryTheRevision) {
    std::uint64_t revision = 0;
    const Bytes bytes = buildSfnt({{"head", headTable(0x00070000)},
                                   {"head", headTable(0x00080000)},
                                   {"name", nameTable({macFullName(kFullName)})}});
    EXPECT_TRUE(check(bytes, sourceFor(kStdNW9), &revision));
    EXPECT_EQ(revision, 0x80000u);
}

TEST_F(IdentityChecks, OnlyTheFirstMacintoshFullNameCounts) {
    const auto src = sourceFor(kStdNW9);
    EXPECT_FALSE(check(font(0x00080000, {{3, 1, 0x409, 4, utf16be(kFullName)}}), src));
    EXPECT_FALSE(check(font(0x00080000, {{0, 0, 0, 4, bytesOf(kFullName)}, {1, 0, 0, 6, bytesOf(kFullName)}}), src));
    EXPECT_FALSE(check(font(0x00080000, {macFullName(kFullName + " ")}), src));
    EXPECT_FALSE(check(font(0x00080000, {macFullName("velmorakakugothicstdn-w9")}), src));
    EXPECT_FALSE(check(font(0x00080000, {macFullName("Other"), macFullName(kFullName)}), src));
    // Other Macintosh records (family name, Japanese language) are passed over.
    EXPECT_TRUE(check(font(0x00080000, {{1, 0, 0, 1, bytesOf("Velmora")},
                                        {1, 1, 11, 4, bytesOf("x")},
                                        {3, 1, 0x409, 4, utf16be(kFullName)},
                                        macFullName(kFullName)}),
                      src));
}

TEST_F(IdentityChecks, FullNameEndsAtItsFirstZeroAndMustBeUtf8) {
    Bytes withZero = bytesOf(kFullName);
    withZero.push_back(0);
    withZero.push_back('x');
    EXPECT_TRUE(check(font(0x00080000, {{1, 0, 0, 4, withZero}}), sourceFor(kStdNW9)));

    Bytes latin1 = bytesOf("Velmora\xE9");
    EXPECT_FALSE(check(font(0x00080000, {{1, 0, 0, 4, latin1}}), sourceFor(kStdNW9, QStringLiteral(u"Velmoraé"))));
    // A source whose header name wasn't UTF-8 has no name to compare.
    EXPECT_FALSE(check(font(0x00080000), sourceFor(kStdNW9, std::nullopt)));
}

TEST_F(IdentityChecks, FullNameLongerThanTheNameBufferIsNoMatch) {
    const std::string longest(255, 'A');
    EXPECT_TRUE(check(font(0x00080000, {macFullName(longest)}), sourceFor(kStdNW9, QString::fromStdString(longest))));
    // One byte more no longer fits the buffer; neither the whole name nor its first 255
    // bytes may count as a match.
    const std::string tooLong(256, 'A');
    EXPECT_FALSE(check(font(0x00080000, {macFullName(tooLong)}), sourceFor(kStdNW9, QString::fromStdString(longest))));
    EXPECT_FALSE(check(font(0x00080000, {macFullName(tooLong)}), sourceFor(kStdNW9, QString::fromStdString(tooLong))));
}

// Structures that run past the end of the file: every read stays inside, the answer is false.
TEST_F(IdentityChecks, StructuresPastTheEndGiveFalse) {
    const auto src = sourceFor(kStdNW9);
    const Bytes good = font(0x00080000);
    ASSERT_TRUE(check(good, src));
    const std::size_t headRecord = 12 + 16, nameRecord = 12 + 32;
    const std::uint32_t nameOffset = getU32(good, nameRecord + 8);

    {  // more table records than the file holds
        Bytes b = good;
        putU16(b, 4, 4000);
        // The real records still come first, so the check passes; then cut the file short
        // so that the directory itself runs out.
        EXPECT_TRUE(check(b, src));
        b.resize(12 + 16 + 8);
        EXPECT_FALSE(check(b, src));
    }
    {  // 'head' offset beyond the end
        Bytes b = good;
        putU32(b, headRecord + 8, static_cast<std::uint32_t>(b.size()) - 6);
        EXPECT_FALSE(check(b, src));
        putU32(b, headRecord + 8, 0xFFFFFFFE);
        EXPECT_FALSE(check(b, src));
    }
    {  // 'name' offset beyond the end
        Bytes b = good;
        putU32(b, nameRecord + 8, static_cast<std::uint32_t>(b.size()) - 2);
        EXPECT_FALSE(check(b, src));
    }
    {  // name record count beyond the end
        Bytes b = font(0x00080000, {{3, 1, 0x409, 4, utf16be("x")}});
        putU16(b, getU32(b, nameRecord + 8) + 2, 0xFFFF);
        EXPECT_FALSE(check(b, src));
    }
    {  // string storage beyond the end
        Bytes b = good;
        putU16(b, nameOffset + 4, 0xFFF0);
        EXPECT_FALSE(check(b, src));
    }
    {  // string longer than what is left
        Bytes b = good;
        ASSERT_LT(b.size(), 200u);
        putU16(b, nameOffset + 6 + 8, 200);
        EXPECT_FALSE(check(b, src));
    }
}

// The record-level checks, on bytes held in memory.
TEST(IdentityRecordChecks, ReadOnlyInsideTheBytesGiven) {
    const auto src = sourceFor(kStdNW9);
    const Bytes good = font(0x00080000);
    const std::span<const std::uint8_t> all(good);
    std::uint64_t revision = 7;
    const auto in = [](std::span<const std::uint8_t> bytes) {
        return platform::BytesInMemory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    };

    EXPECT_TRUE(OpenTypeManager::checkHeadTbleVersion(12 + 16, in(all), src, revision));
    EXPECT_EQ(revision, 0x80000u);
    revision = 7;
    EXPECT_FALSE(OpenTypeManager::checkHeadTbleVersion(12, in(all), src, revision));  // 'CFF '
    EXPECT_EQ(revision, 7u) << "a record of another table leaves the revision alone";
    EXPECT_TRUE(OpenTypeManager::checknameTblFontName(12 + 32, in(all), src));
    EXPECT_FALSE(OpenTypeManager::checknameTblFontName(12 + 16, in(all), src));

    // Records at or past the end, and cut in the middle.
    EXPECT_FALSE(OpenTypeManager::checkHeadTbleVersion(good.size(), in(all), src, revision));
    EXPECT_FALSE(OpenTypeManager::checkHeadTbleVersion(SIZE_MAX - 3, in(all), src, revision));
    EXPECT_FALSE(OpenTypeManager::checknameTblFontName(SIZE_MAX - 3, in(all), src));
    EXPECT_FALSE(OpenTypeManager::checkHeadTbleVersion(12 + 16, in(all.first(12 + 16 + 10)), src, revision));
    EXPECT_FALSE(OpenTypeManager::checknameTblFontName(12 + 32, in(all.first(12 + 32 + 10)), src));
    EXPECT_FALSE(OpenTypeManager::checknameTblFontName(12 + 32, in(all.first(getU32(good, 12 + 32 + 8) + 10)), src));
}

TEST(SfntHeader, ReadsTheOffsetTable) {
    const Bytes bytes = buildSfnt({{"head", headTable(0x80000)}, {"name", counting(6, 0)}, {"cmap", counting(4, 0)}});
    fr::_sfntHeader head;
    ASSERT_TRUE(OpenTypeManager::checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), head));
    EXPECT_EQ(std::memcmp(&head.version, "OTTO", 4), 0);
    EXPECT_EQ(head.numTables, 3);
    EXPECT_EQ(head.searchRange, 32);
    EXPECT_EQ(head.entrySelector, 1);
    EXPECT_EQ(head.rangeShift, 16);
}

TEST(SfntHeader, OtherOutlinesFillTheRecordButFail) {
    Bytes bytes = buildSfnt({{"head", headTable(0x80000)}}, std::string("\0\1\0\0", 4));
    fr::_sfntHeader head;
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(bytes, static_cast<std::int32_t>(bytes.size()), head));
    EXPECT_EQ(std::memcmp(&head.version, "\0\1\0\0", 4), 0);
    EXPECT_EQ(head.numTables, 1);
    for (const char* other : {"ttcf", "true", "OTT\0", "otto"}) {
        std::memcpy(bytes.data(), other, 4);
        EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(bytes, 12, head)) << other;
    }
}

TEST(SfntHeader, ShortBytesLeaveTheRecordAlone) {
    const Bytes twelve = buildSfnt({});
    ASSERT_EQ(twelve.size(), 12u);
    fr::_sfntHeader head;
    head.numTables = 77;
    const Bytes eleven(twelve.begin(), twelve.begin() + 11);
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(eleven, 11, head));
    // A stated length beyond the bytes held is not believed.
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(eleven, 1000, head));
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(twelve, 11, head));
    EXPECT_FALSE(OpenTypeManager::checkOpenTypeHeader(twelve, -12, head));
    EXPECT_EQ(head.numTables, 77);
    EXPECT_TRUE(OpenTypeManager::checkOpenTypeHeader(twelve, 12, head));
    EXPECT_EQ(head.numTables, 0);
}

}  // namespace
