// Text rules of discovery that the walk and the checks rely on but can't show on their own.

#include "discovery/TextRules.h"
#include "platform/PathText.h"

#include <gtest/gtest.h>

namespace {

using namespace fr::text;

std::optional<QString> decode(std::initializer_list<std::uint8_t> b) {
    const std::vector<std::uint8_t> v(b);
    return decodeUtf8Strict(v);
}

TEST(TextRules, Utf8IsDecodedStrictly) {
    EXPECT_EQ(decode({'A', 0xE8, 0xA7, 0x92}), QStringLiteral(u"A角"));
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98, 0x80}), QStringLiteral(u"\U0001F600"));
    EXPECT_EQ(decode({0xEF, 0xBB, 0xBF, 'A'}), QStringLiteral(u"\uFEFFA")) << "a leading BOM is kept";
    EXPECT_FALSE(decode({0xC0, 0x80}));              // overlong zero
    EXPECT_FALSE(decode({0xE0, 0x80, 0xAF}));        // overlong slash
    EXPECT_FALSE(decode({0xED, 0xA0, 0x80}));        // surrogate
    EXPECT_FALSE(decode({0xF4, 0x90, 0x80, 0x80}));  // above U+10FFFF
    EXPECT_FALSE(decode({0xE8, 0xA7}));              // cut short
    EXPECT_FALSE(decode({0x80}));                    // stray continuation
    EXPECT_FALSE(decode({0xFF}));

    const std::vector<std::uint8_t> withZero{'a', 'b', 0, 0xFF};
    EXPECT_EQ(decodeZeroTerminatedUtf8(withZero), QStringLiteral("ab"));
}

TEST(TextRules, PathPieces) {
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("Library")), QStringLiteral("/Library"));
    EXPECT_EQ(joinPath(QStringLiteral("/Library"), QStringLiteral("Fonts")), QStringLiteral("/Library/Fonts"));
    EXPECT_EQ(pathPartCount(QStringLiteral("/")), 2);
    EXPECT_EQ(pathPartCount(QStringLiteral("/Users/a/Library/Fonts/A/B")), 7);

    EXPECT_EQ(removeLastExtension(QStringLiteral("a.otf.bak")), QStringLiteral("a.otf"));
    EXPECT_EQ(removeLastExtension(QStringLiteral("a b")), QStringLiteral("a b"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/Library/Fonts/a.otf")), QStringLiteral("a.otf"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/Library/Fonts/")), QStringLiteral("Fonts"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("a.otf")), QStringLiteral("a.otf"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(TextRules, WordTestsTreatCanonicalSpellingsAlike) {
    // Decomposed kana against the composed word, and the Kelvin sign that is canonically K.
    EXPECT_TRUE(containsCanonical(QStringLiteral(u"\u30B3\u3099ジ"), QStringLiteral(u"ゴ")));
    EXPECT_TRUE(containsCanonical(QStringLiteral(u"\u212Aestrune"), QStringLiteral("Kestrune")));
    // A mark that joins the last letter makes another letter: no longer the word.
    EXPECT_FALSE(containsCanonical(QStringLiteral(u"Velmora\u0301"), QStringLiteral("Velmora")));
    EXPECT_FALSE(containsCanonical(QStringLiteral("velmora"), QStringLiteral("Velmora")));
    // Form KC also folds compatibility forms; the word tests don't.
    EXPECT_FALSE(containsCanonical(QStringLiteral(u"Ｖelmora"), QStringLiteral("Velmora")));
    EXPECT_EQ(formKC(QStringLiteral(u"Ｖelmora Ｗ9")), QStringLiteral("Velmora W9"));
}

}  // namespace
