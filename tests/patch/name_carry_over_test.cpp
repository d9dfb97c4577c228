// The installed copy's License Description strings: read from the installed font, written
// over the new font's records of name ID 13, with the 'name' checksum recomputed.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;
using fr::OpenTypeManager;

namespace {

struct Point {
    int overall, step;
    QString line1, line2;
};
struct Recorder {
    std::vector<Point> points;
    bool cancel = false;
    static bool call(std::int32_t overall, std::int32_t step, const QString& l1, const QString& l2, void* ctx) {
        auto* self = static_cast<Recorder*>(ctx);
        self->points.push_back({overall, step, l1, l2});
        return self->cancel;
    }
};

const Bytes kMacSerial = bytesOf("SER-0042-AB");          // 11 bytes
const Bytes kWinSerial = utf16be("SERIAL-WINDOWS-0042");  // 38 bytes

Bytes installedFont(const std::vector<NameRecord>& names) {
    return buildSfnt({{"head", headTable(0x00080000)}, {"name", nameTable(names)}});
}

void loadInstalled(OpenTypeManager& m, const Bytes& font) {
    ASSERT_EQ(m.loadInstalledFont(font), fr::result::kRevised);
}

Bytes field(const Bytes& s) {
    Bytes f(255, 0);
    std::copy(s.begin(), s.end(), f.begin());
    return f;
}

TEST(GetSerialNumber, TakesTheFirstMacintoshAndTheUSEnglishWindowsString) {
    OpenTypeManager m;
    loadInstalled(m, installedFont({{1, 0, 0, 4, bytesOf("Full")},
                                    {3, 1, 0x0411, 13, utf16be("JAPANESE")},
                                    {1, 0, 0, 13, kMacSerial},
                                    {3, 1, 0x0409, 13, kWinSerial},
                                    {1, 0, 0, 13, bytesOf("second mac")}}));
    std::array<std::uint8_t, 255> mac{}, win{};
    ASSERT_TRUE(m.getSerialNumber(mac, win));
    EXPECT_EQ(Bytes(mac.begin(), mac.end()), field(kMacSerial));
    EXPECT_EQ(Bytes(win.begin(), win.end()), field(kWinSerial));
}

TEST(GetSerialNumber, RefusesFontsWhoseStringsAreMissingOrUnusable) {
    std::array<std::uint8_t, 255> mac{}, win{};
    {
        SCOPED_TRACE("Windows string only in Japanese");
        OpenTypeManager m;
        loadInstalled(m, installedFont({{1, 0, 0, 13, kMacSerial}, {3, 1, 0x0411, 13, kWinSerial}}));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("no 'name' table");
        OpenTypeManager m;
        loadInstalled(m, buildSfnt({{"head", headTable(0x00080000)}}));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("no records");
        OpenTypeManager m;
        loadInstalled(m, installedFont({}));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("a string longer than its 255-byte field");
        OpenTypeManager m;
        loadInstalled(m, installedFont({{1, 0, 0, 13, Bytes(256, 'x')}, {3, 1, 0x0409, 13, kWinSerial}}));
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
    {
        SCOPED_TRACE("a string that runs out of the table");
        Bytes font = installedFont({{1, 0, 0, 13, kMacSerial}, {3, 1, 0x0409, 13, kWinSerial}});
        const std::uint32_t nameAt = getU32(font, 12 + 16 + 8);
        putU16(font, nameAt + 6 + 12 + 10, 0x7000);  // the Windows record's string offset
        OpenTypeManager m;
        loadInstalled(m, font);
        EXPECT_FALSE(m.getSerialNumber(mac, win));
    }
}

// A new image with a 'name' table, the manager holding it as the assembly leaves it.
struct NewImage {
    OpenTypeManager m;
    Recorder progress;
    std::size_t nameAt = 0, nameLength = 0;
    Bytes bytes;  // the image before the step, and after it

    explicit NewImage(const std::vector<NameRecord>& names) {
        bytes = buildSfnt({{"head", headTable(0x00080100)}, {"name", nameTable(names)}});
        nameAt = getU32(bytes, 12 + 16 + 8);
        nameLength = getU32(bytes, 12 + 16 + 12);
        OpenTypeManager::NameField mac{}, win{};
        std::copy(kMacSerial.begin(), kMacSerial.end(), mac.begin());
        std::copy(kWinSerial.begin(), kWinSerial.end(), win.begin());
        m.setLicenseStrings(mac, win);
    }
    std::int32_t run(int count = 1, int index = 0) {
        fr::_sfntHeader header;
        header.numTables = 2;
        m.setImage(bytes, header);
        const std::int32_t code = m.changeSerialNumber(QStringLiteral("/Fonts/Velmora W9.otf"), m.header(),
                                                       Recorder::call, &progress, count, index);
        bytes.assign(m.image().begin(), m.image().end());
        return code;
    }
    // The string of name record k as it stands in the image.
    Bytes string(std::size_t k) const {
        const Bytes& img = bytes;
        const std::size_t rec = nameAt + 6 + 12 * k;
        const std::size_t at =
            nameAt + ((img[nameAt + 4] << 8) | img[nameAt + 5]) + ((img[rec + 10] << 8) | img[rec + 11]);
        const std::size_t len = (img[rec + 8] << 8) | img[rec + 9];
        return Bytes(img.begin() + at, img.begin() + at + len);
    }
    std::uint32_t storedChecksum() const { return getU32(bytes, 12 + 16 + 4); }
    std::uint32_t actualChecksum() const { return paddedSum(bytes, nameAt, nameLength); }
};

Bytes padded(Bytes s, std::size_t n) {
    s.resize(n, 0);
    return s;
}

TEST(ChangeSerialNumber, FitsEachStringToItsRecordByPlatform) {
    NewImage img({{1, 0, 0, 13, Bytes(16, '?')},       // longer than the Macintosh string
                  {3, 1, 0x0409, 13, Bytes(32, '?')},  // shorter than the Windows string
                  {0, 3, 0, 13, Bytes(8, '?')},        // Unicode platform
                  {3, 1, 0x0411, 13, Bytes(6, '?')},   // Windows, Japanese
                  {1, 1, 11, 13, Bytes(4, '?')},       // Macintosh in another script
                  {3, 1, 0x0409, 1, Bytes(4, '?')}});  // another name ID
    ASSERT_EQ(img.run(), fr::result::kRevised);
    EXPECT_EQ(img.string(0), padded(kMacSerial, 16));  // zeros after the 11 bytes
    EXPECT_EQ(img.string(1), padded(kWinSerial, 32));  // cut to the record
    EXPECT_EQ(img.string(2), padded(kWinSerial, 8));
    EXPECT_EQ(img.string(3), padded(kWinSerial, 6));
    EXPECT_EQ(img.string(4), padded(kMacSerial, 4));
    EXPECT_EQ(img.string(5), Bytes(4, '?'));
    EXPECT_EQ(img.storedChecksum(), img.actualChecksum());
}

TEST(ChangeSerialNumber, RecomputesTheChecksumEvenWithoutLicenseRecords) {
    NewImage img({{1, 0, 0, 4, bytesOf("Full")}});
    putU32(img.bytes, 12 + 16 + 4, 0xDEADBEEF);
    const Bytes before = img.bytes;
    ASSERT_EQ(img.run(), fr::result::kRevised);
    EXPECT_EQ(img.storedChecksum(), img.actualChecksum());
    Bytes after = img.bytes;
    putU32(after, 12 + 16 + 4, 0xDEADBEEF);
    EXPECT_EQ(after, before);  // nothing but the checksum moved
}

TEST(ChangeSerialNumber, ReportsStepSixtyFiveAndStopsWhenAsked) {
    {
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        ASSERT_EQ(img.run(1, 0), fr::result::kRevised);
        ASSERT_EQ(img.progress.points.size(), 1u);
        EXPECT_EQ(img.progress.points[0].overall, 65);
        EXPECT_EQ(img.progress.points[0].step, 65);
        EXPECT_EQ(img.progress.points[0].line1, QStringLiteral("/Fonts/Velmora W9.otfの改訂をしています。"));
        EXPECT_EQ(img.progress.points[0].line2,
                  QStringLiteral("Velmora W9.otfのファイルにシリアルナンバーを書き込んでいます。"));
    }
    {
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        ASSERT_EQ(img.run(3, 2), fr::result::kRevised);
        EXPECT_EQ(img.progress.points.at(0).overall, 87);
    }
    {
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        img.progress.cancel = true;
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kCancelled);
        EXPECT_EQ(img.bytes, before);
    }
}

TEST(ChangeSerialNumber, RefusesImagesItCannotWriteSafely) {
    {
        SCOPED_TRACE("no 'name' record: 2, no progress");
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        std::memcpy(img.bytes.data() + 12 + 16, "nams", 4);
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_TRUE(img.progress.points.empty());
    }
    {
        SCOPED_TRACE("a License Description record longer than the 255-byte fields");
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}, {3, 1, 0x0409, 13, Bytes(256, '?')}});
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
    }
    {
        SCOPED_TRACE("a string outside the 'name' table");
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        putU16(img.bytes, img.nameAt + 6 + 10, 0x100);
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
    }
    {
        SCOPED_TRACE("a License Description string over the table's own records");
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}, {3, 1, 0x0409, 13, Bytes(16, '?')}});
        putU16(img.bytes, img.nameAt + 4, 0);            // string storage at the table's start
        putU16(img.bytes, img.nameAt + 6 + 12 + 10, 6);  // the second string is the first record
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
    }
    {
        SCOPED_TRACE("a 'name' table past the image");
        NewImage img({{1, 0, 0, 13, Bytes(16, '?')}});
        putU32(img.bytes, 12 + 16 + 12, 0x10000);
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
    }
}

}  // namespace
