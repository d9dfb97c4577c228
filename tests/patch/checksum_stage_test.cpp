// The 'head' checksum and the whole-font checkSumAdjustment of a new image.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "support/FontBytes.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;
using fr::OpenTypeManager;

namespace {

struct Recorder {
    std::vector<std::pair<int, int>> points;
    QString line2;
    bool cancel = false;
    static bool call(std::int32_t overall, std::int32_t step, const QString&, const QString& l2, void* ctx) {
        auto* self = static_cast<Recorder*>(ctx);
        self->points.push_back({overall, step});
        self->line2 = l2;
        return self->cancel;
    }
};

// An image whose last table is the 54-byte 'head', written out without its padding, held in
// a buffer that ends exactly there: nothing may be read past it.
struct Image {
    OpenTypeManager m;
    Recorder progress;
    std::size_t headAt = 0;
    Bytes bytes;  // the image before the step, and after it
    std::uint16_t numTables = 2;

    explicit Image(std::uint32_t priorAdjustment = 0) {
        Bytes head = headTable(0x00080100);
        putU32(head, 8, priorAdjustment);
        bytes = buildSfnt({{"CFF ", Bytes{1, 2, 3, 4, 5, 6, 7}}, {"head", head}});
        headAt = getU32(bytes, 12 + 16 + 8);
        bytes.resize(headAt + 54);
    }
    std::int32_t run(int count = 1, int index = 0) {
        fr::_sfntHeader header;
        header.numTables = numTables;
        m.setImage(bytes, header);
        const std::int32_t code = m.setCheckSumAdjustment(QStringLiteral("/Fonts/a.otf"), m.header(), Recorder::call,
                                                          &progress, count, index);
        bytes.assign(m.image().begin(), m.image().end());
        return code;
    }
    std::uint32_t adjustment() const { return getU32(bytes, headAt + 8); }
    std::uint32_t headChecksum() const { return getU32(bytes, 12 + 16 + 4); }
};

TEST(CheckSumAdjustment, MakesTheWholeImageSumToTheFontConstant) {
    Image img(0x12345678);  // a prior adjustment counts as zero
    ASSERT_EQ(img.run(), fr::result::kRevised);
    Bytes headZeroed(img.bytes.begin() + static_cast<std::ptrdiff_t>(img.headAt), img.bytes.end());
    putU32(headZeroed, 8, 0);
    EXPECT_EQ(img.headChecksum(), paddedSum(headZeroed, 0, 54));  // 56 bytes, two of them padding
    EXPECT_EQ(paddedSum(img.bytes, 0, img.bytes.size()), 0xB1B0AFBAu);

    Image fresh(0);
    ASSERT_EQ(fresh.run(), fr::result::kRevised);
    EXPECT_EQ(fresh.adjustment(), img.adjustment());
    EXPECT_EQ(fresh.headChecksum(), img.headChecksum());
}

TEST(CheckSumAdjustment, ReportsStepSeventyFiveAndStopsWithTheFieldZero) {
    Image one;
    ASSERT_EQ(one.run(1, 0), fr::result::kRevised);
    EXPECT_EQ(one.progress.points, (std::vector<std::pair<int, int>>{{75, 75}}));
    EXPECT_EQ(one.progress.line2, QStringLiteral("a.otfのファイルのチェックサムを再計算しています。"));

    Image second;
    ASSERT_EQ(second.run(3, 1), fr::result::kRevised);
    EXPECT_EQ(second.progress.points.at(0).first, 58);

    Image cancelled(0x12345678);
    cancelled.progress.cancel = true;
    EXPECT_EQ(cancelled.run(), fr::result::kCancelled);
    EXPECT_EQ(cancelled.adjustment(), 0u);
    EXPECT_EQ(cancelled.headChecksum(), one.headChecksum());
}

TEST(CheckSumAdjustment, LeavesImagesWithoutAUsableHeadUntouched) {
    {
        SCOPED_TRACE("no 'head' record: progress, then 2");
        Image img(0x12345678);
        std::memcpy(img.bytes.data() + 12 + 16, "hea ", 4);
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
        EXPECT_EQ(img.progress.points.size(), 1u);
    }
    {
        SCOPED_TRACE("numTables 0");
        Image img;
        img.numTables = 0;
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
    }
    {
        SCOPED_TRACE("a 'head' table past the image's end");
        Image img;
        putU32(img.bytes, 12 + 16 + 12, 60);
        const Bytes before = img.bytes;
        EXPECT_EQ(img.run(), fr::result::kFontUnusable);
        EXPECT_EQ(img.bytes, before);
    }
}

}  // namespace
