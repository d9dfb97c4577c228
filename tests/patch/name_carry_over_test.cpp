// The installed copy's License Description strings written over the new font's records of
// name ID 13, with the 'name' checksum recomputed: through the assembly, whose patch keeps
// every table and carries a whole new 'name'.

#include "patch/OpenTypeManager.h"
#include "support/FakePlatform.h"
#include "support/FontBytes.h"

#include <QFile>

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
    int cancelAtStep = -1;
    static bool call(std::int32_t overall, std::int32_t step, const QString& l1, const QString& l2, void* ctx) {
        auto* self = static_cast<Recorder*>(ctx);
        self->points.push_back({overall, step, l1, l2});
        return step == self->cancelAtStep;
    }
};

const Bytes kMacSerial = bytesOf("SER-0042-AB");          // 11 bytes
const Bytes kWinSerial = utf16be("SERIAL-WINDOWS-0042");  // 38 bytes
const QString kFont = QStringLiteral("/Fonts/Velmora W9.otf");
const QString kPatch = QStringLiteral("/host/Velmora W9.pa");
const QString kTemp = QStringLiteral("/tmp/new");

// The installed font holds both serials; the new 'name' is `newName`, at the end of the new
// font.
struct CarryOver {
    TestPlatform tp;
    OpenTypeManager m{tp.files(), tp.pauses};
    Recorder progress;
    Bytes image;  // as written
    std::size_t nameAt = 0, nameLength = 0;

    std::int32_t run(const Bytes& newName, int count = 1, int index = 0) {
        std::vector<Table> tables = {{"head", headTable(0x00080000)},
                                     {"name", nameTable({{1, 0, 0, 13, kMacSerial}, {3, 1, 0x0409, 13, kWinSerial}})}};
        for (const Table& t : outlineTables()) tables.push_back(t);
        const Bytes installed = buildSfnt(tables);
        tp.writeFile(kFont, installed);
        if (m.loadOpenTypeDiff({nullptr, nullptr, 1, 0, kFont}) != fr::result::kRevised || !m.readLicenseStrings())
            return -1;

        PatchLayout layout;
        std::uint32_t at = 12 + 16 * static_cast<std::uint32_t>(tables.size());
        for (std::size_t k = 0; k < tables.size(); ++k) {
            const bool name = tables[k].tag == "name";
            const auto length = static_cast<std::uint32_t>(name ? newName.size() : tables[k].data.size());
            PatchTable t = placed(tables[k].tag.c_str(), static_cast<std::uint8_t>(k), length, at);
            if (name) {
                t.changed = true;
                t.news = {{0, newName}};
                nameAt = at, nameLength = length;
            }
            layout.tables.push_back(t);
            at = (at + length + 3) & ~3u;
        }
        layout.fontLength = at;
        tp.writeFile(kPatch, buildPatch(layout));
        const fr::SourceEntry listed{kPatch, {}, QStringLiteral(""), 0, nullptr};
        const std::int32_t code = m.creatFontFileDiff({Recorder::call, &progress, count, index, kFont}, listed, kTemp);
        QFile f(tp.real(kTemp));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            image.assign(b.begin(), b.end());
        }
        return code;
    }
    // The string of name record k as it stands in the image.
    Bytes string(std::size_t k) const {
        const std::size_t rec = nameAt + 6 + 12 * k;
        const std::size_t at =
            nameAt + ((image[nameAt + 4] << 8) | image[nameAt + 5]) + ((image[rec + 10] << 8) | image[rec + 11]);
        const std::size_t len = (image[rec + 8] << 8) | image[rec + 9];
        return Bytes(image.begin() + at, image.begin() + at + len);
    }
    std::uint32_t storedChecksum() const { return getU32(image, 12 + 16 + 4); }
    std::uint32_t actualChecksum() const { return paddedSum(image, nameAt, nameLength); }
};

Bytes padded(Bytes s, std::size_t n) {
    s.resize(n, 0);
    return s;
}

TEST(ChangeSerialNumber, FitsEachStringToItsRecordByPlatform) {
    CarryOver c;
    ASSERT_EQ(c.run(nameTable({{1, 0, 0, 13, Bytes(16, '?')},        // longer than the Macintosh string
                               {3, 1, 0x0409, 13, Bytes(32, '?')},   // shorter than the Windows string
                               {0, 3, 0, 13, Bytes(8, '?')},         // Unicode platform
                               {3, 1, 0x0411, 13, Bytes(6, '?')},    // Windows, Japanese
                               {1, 1, 11, 13, Bytes(4, '?')},        // Macintosh in another script
                               {3, 1, 0x0409, 1, Bytes(4, '?')}})),  // another name ID
              fr::result::kRevised);
    EXPECT_EQ(c.string(0), padded(kMacSerial, 16));  // zeros after the 11 bytes
    EXPECT_EQ(c.string(1), padded(kWinSerial, 32));  // cut to the record
    EXPECT_EQ(c.string(2), padded(kWinSerial, 8));
    EXPECT_EQ(c.string(3), padded(kWinSerial, 6));
    EXPECT_EQ(c.string(4), padded(kMacSerial, 4));
    EXPECT_EQ(c.string(5), Bytes(4, '?'));
    EXPECT_EQ(c.storedChecksum(), c.actualChecksum());
}

TEST(ChangeSerialNumber, RecomputesTheChecksumEvenWithoutLicenseRecords) {
    CarryOver c;
    const Bytes newName = nameTable({{1, 0, 0, 4, bytesOf("Full")}});
    ASSERT_EQ(c.run(newName), fr::result::kRevised);
    EXPECT_EQ(c.storedChecksum(), c.actualChecksum());
    EXPECT_EQ(Bytes(c.image.begin() + c.nameAt, c.image.begin() + c.nameAt + c.nameLength), newName);
}

TEST(ChangeSerialNumber, ReportsStepSixtyFiveAndStopsWhenAsked) {
    const Bytes newName = nameTable({{1, 0, 0, 13, Bytes(16, '?')}});
    {
        CarryOver c;
        ASSERT_EQ(c.run(newName), fr::result::kRevised);
        ASSERT_EQ(c.progress.points.size(), 5u);
        const Point& p = c.progress.points[2];
        EXPECT_EQ(p.overall, 65);
        EXPECT_EQ(p.step, 65);
        EXPECT_EQ(p.line1, QStringLiteral("/Fonts/Velmora W9.otf"));
        EXPECT_EQ(p.line2, QStringLiteral("Velmora W9.otf"));
        EXPECT_EQ(c.progress.points[3].line2, QStringLiteral("Velmora W9.otf"));
    }
    {
        CarryOver c;
        ASSERT_EQ(c.run(newName, 3, 2), fr::result::kRevised);
        EXPECT_EQ(c.progress.points.at(2).overall, 87);
    }
    {
        CarryOver c;
        c.progress.cancelAtStep = 65;
        EXPECT_EQ(c.run(newName), fr::result::kCancelled);
        EXPECT_TRUE(c.image.empty());
    }
}

TEST(ChangeSerialNumber, RefusesImagesItCannotWriteSafely) {
    const std::vector<NameRecord> two = {{1, 0, 0, 13, Bytes(16, '?')}, {3, 1, 0x0409, 13, Bytes(16, '?')}};
    std::vector<std::pair<const char*, Bytes>> cases = {
        {"a License Description record longer than the 255-byte fields",
         nameTable({{1, 0, 0, 13, Bytes(16, '?')}, {3, 1, 0x0409, 13, Bytes(256, '?')}})},
    };
    Bytes outside = nameTable({{1, 0, 0, 13, Bytes(16, '?')}});
    putU16(outside, 6 + 10, 0x100);
    cases.push_back({"a string outside the 'name' table", outside});
    Bytes overRecords = nameTable(two);
    putU16(overRecords, 4, 0);            // string storage at the table's start
    putU16(overRecords, 6 + 12 + 10, 6);  // the second string is the first record
    cases.push_back({"a License Description string over the table's own records", overRecords});
    for (const auto& [what, newName] : cases) {
        CarryOver c;
        EXPECT_EQ(c.run(newName), fr::result::kFontUnusable) << what;
        EXPECT_TRUE(c.image.empty()) << what;
        EXPECT_EQ(c.progress.points.size(), 2u) << what;  // 40 and 55, never 65
    }
}

}  // namespace
