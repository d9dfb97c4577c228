// Text rules of discovery that the walk and the checks rely on but can't show on their own.

#include "discovery/TextRules.h"
#include "platform/PathText.h"

#include <gtest/gtest.h>

namespace {

using namespace fr::text;

TEST(TextRules, PathPieces) {
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("Library")), QStringLiteral("/Library"));
    EXPECT_EQ(joinPath(QStringLiteral("/Library"), QStringLiteral("Fonts")), QStringLiteral("/Library/Fonts"));
    EXPECT_EQ(pathPartCount(QStringLiteral("/")), 2);
    EXPECT_EQ(pathPartCount(QStringLiteral("/Users/a/Library/Fonts/A/B")), 7);

    EXPECT_EQ(platform::removeLastExtension(QStringLiteral("a.otf.bak")), QStringLiteral("a.otf"));
    EXPECT_EQ(platform::removeLastExtension(QStringLiteral("a b")), QStringLiteral("a b"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/Library/Fonts/a.otf")), QStringLiteral("a.otf"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/Library/Fonts/")), QStringLiteral("Fonts"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("a.otf")), QStringLiteral("a.otf"));
    EXPECT_EQ(platform::lastPathComponent(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(TextRules, WordTestsTreatCanonicalSpellingsAlike) {
    // Decomposed kana against the composed word, and the Kelvin sign that is canonically K.
    EXPECT_TRUE(formC(QStringLiteral(u"\u30B3\u3099ジ")).contains(QStringLiteral(u"ゴ")));
    EXPECT_TRUE(formC(QStringLiteral(u"\u212Aestrune")).contains(QStringLiteral("Kestrune")));
    // A mark that joins the last letter makes another letter: no longer the word.
    EXPECT_FALSE(formC(QStringLiteral(u"Velmora\u0301")).contains(QStringLiteral("Velmora")));
    EXPECT_FALSE(formC(QStringLiteral("velmora")).contains(QStringLiteral("Velmora")));
    // Form KC also folds compatibility forms; the word tests don't.
    EXPECT_FALSE(formC(QStringLiteral(u"Ｖelmora")).contains(QStringLiteral("Velmora")));
    EXPECT_EQ(formKC(QStringLiteral(u"Ｖelmora Ｗ9")), QStringLiteral("Velmora W9"));
}

}  // namespace
