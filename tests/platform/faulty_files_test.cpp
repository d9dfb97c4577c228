#include "QtPrint.h"
#include "platform/LinuxFiles.h"
#include "support/FaultyFiles.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

// The double that later tests trust to break things in a known way.
TEST(FaultyFiles, BreaksOnlyWhatItIsToldAndAsItSays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath("fonts"));
    platform::LinuxFiles disk(dir.path());
    testsupport::FaultyFiles files(disk);
    ASSERT_TRUE(files.overwrite("/new", bytesOf("12345678")));
    ASSERT_TRUE(files.overwrite("/fonts/B.otf", bytesOf("old")));

    files.corruptCopy.on("/fonts/C");
    const auto staged = files.copyBeside("/new", "/fonts/C.otf");
    ASSERT_TRUE(staged);
    EXPECT_EQ(disk.readAll(*staged, testsupport::kAnySize), bytesOf("1234567\xC7"));
    EXPECT_TRUE(files.replaceKeepingOld(*files.copyBeside("/new", "/fonts/B.otf"), "/fonts/B.otf"));
    EXPECT_EQ(disk.readAll("/fonts/B.otf", testsupport::kAnySize), bytesOf("12345678"));

    files.corruptAfterReplace.on("/fonts/B");
    EXPECT_TRUE(files.replaceKeepingOld(*files.copyBeside("/new", "/fonts/B.otf"), "/fonts/B.otf"));
    EXPECT_EQ(disk.readAll("/fonts/B.otf", testsupport::kAnySize), bytesOf("1234567\xC7"));

    files.notDeletable.on("/fonts/");
    EXPECT_FALSE(files.isDeletable("/fonts/B.otf"));
    EXPECT_TRUE(files.isDeletable("/new"));
    files.failCopyBeside.on();
    EXPECT_FALSE(files.copyBeside("/new", "/fonts/B.otf"));

    const auto calls = files.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "copyBeside /new /fonts/C.otf");
    EXPECT_EQ(calls.back(), "copyBeside /new /fonts/B.otf");
}

}  // namespace
