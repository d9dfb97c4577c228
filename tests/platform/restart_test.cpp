#include "platform/LinuxRestart.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using platform::LinuxRestart;

TEST(LinuxRestart, OnlyTheRestartEventIsHandled) {
    LinuxRestart restart(false, "unix:path=/nonexistent/bus");
    EXPECT_EQ(restart.sendToSystemProcess(platform::kCoreEventClass, platform::fourCharCode("quit")),
              LinuxRestart::errAEEventNotHandled);
    EXPECT_EQ(restart.sendToSystemProcess(platform::fourCharCode("misc"), platform::kAERestart),
              LinuxRestart::errAEEventNotHandled);
}

TEST(LinuxRestart, TheSampleRunOnlyLogs) {
    LinuxRestart restart(true, "unix:path=/nonexistent/bus");
    testing::internal::CaptureStderr();
    EXPECT_EQ(restart.sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "restart requested (not sent in the sample run)\n");
}

TEST(LinuxRestart, NoBusIsAFailureCode) {
    LinuxRestart restart(false, "unix:path=/nonexistent/bus");
    EXPECT_LT(restart.sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart), 0);
}

}  // namespace

// Stands in for systemd-logind on a private bus.
class LoginManagerDouble : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QList<bool> reboots;
public slots:
    void Reboot(bool interactive) { reboots << interactive; }
};

namespace {

TEST(LinuxRestart, AsksLogindOnceToRebootInteractively) {
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile config(dir.path() + "/bus.conf");
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("<busconfig><type>session</type><listen>unix:path=" + QFile::encodeName(dir.path()) +
                 "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                 "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                 "<allow own=\"*\"/></policy></busconfig>\n");
    config.close();
    QProcess bus;
    bus.start(daemon, {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForStarted(5000));
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << bus.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    {
        QDBusConnection logind = QDBusConnection::connectToBus(address, "logind-double");
        ASSERT_TRUE(logind.isConnected());
        LoginManagerDouble manager;
        ASSERT_TRUE(logind.registerObject("/org/freedesktop/login1", &manager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));

        LinuxRestart restart(false, address);
        EXPECT_EQ(restart.sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart), 0);

        QElapsedTimer waited;
        waited.start();
        while (manager.reboots.isEmpty() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 200);  // a second request would be here by now
        EXPECT_EQ(manager.reboots, QList<bool>{true});
        logind.unregisterObject("/org/freedesktop/login1");
    }
    QDBusConnection::disconnectFromBus("logind-double");
    bus.kill();
    bus.waitForFinished(5000);
}

}  // namespace

#include "restart_test.moc"
