#include "QtPrint.h"
#include "platform/LinuxProcesses.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using platform::LinuxProcesses;

// A made-up /proc: one folder per process with its status, stat and exe link.
class FakeProc : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void process(int id, int uid, const QByteArray& stat, const QString& exe = {}) {
        const QString base = dir.path() + "/" + QString::number(id);
        ASSERT_TRUE(QDir().mkpath(base));
        writeFile(base + "/status", "Name:\tx\nUmask:\t0022\nState:\tS (sleeping)\nUid:\t" + QByteArray::number(uid) +
                                        "\t" + QByteArray::number(uid) + "\t0\t0\nGid:\t0\t0\t0\t0\n");
        writeFile(base + "/stat", QByteArray::number(id) + " " + stat + "\n");
        if (!exe.isEmpty()) {
            ASSERT_TRUE(QFile::link(exe, base + "/exe"));
        }
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
};

// state ppid pgrp session tty tpgid flags ...
const QByteArray kRunning = "(app) S 1 100 100 0 -1 4194560 0 0";
const QByteArray kKernelThread = "(kworker/0:1) I 2 0 0 0 -1 69238880 0 0";
const QByteArray kZombie = "(gone) Z 1 100 100 0 -1 4227084 0 0";

TEST_F(FakeProc, ListsTheUsersProgramsInAscendingIdOnly) {
    process(1000, 500, "(odd) name) S 1 1 1 0 -1 4194560 0", "/usr/bin/last");
    process(100, 500, kRunning, "/usr/bin/third");
    process(9, 500, kRunning, "/opt/Font Tool/Font Tool.bin (deleted)");
    process(70, 500, kRunning);  // its program can't be read
    process(2, 500, kKernelThread);
    process(50, 33, kRunning, "/usr/sbin/other-users");
    process(60, 500, kZombie);
    // A desktop's font manager is named by its executable, and only when it is the user's.
    process(200, 500, kRunning, "/app/bin/gnome-font-viewer");
    process(210, 33, kRunning, "/usr/bin/kfontview");
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/self"));
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/sys"));

    const auto list = LinuxProcesses(dir.path(), 500).running();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_TRUE(list[0].hasLocation);
    EXPECT_EQ(list[0].catalogName, QString("Font Tool.bin"));
    EXPECT_FALSE(list[1].hasLocation);
    EXPECT_FALSE(list[1].catalogName.has_value());
    EXPECT_EQ(list[2].catalogName, QString("third"));
    EXPECT_EQ(list[3].catalogName, QString("gnome-font-viewer"));
    EXPECT_EQ(list[4].catalogName, QString("last"));
}

TEST(LinuxProcessesLive, IncludesThisTestProgram) {
    const QString self = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).fileName();
    const auto list = LinuxProcesses().running();
    const bool found =
        std::any_of(list.begin(), list.end(), [&](const auto& p) { return p.hasLocation && p.catalogName == self; });
    EXPECT_TRUE(found) << self.toStdString();
}

}  // namespace
