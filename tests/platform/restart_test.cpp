#include "platform/LinuxRestart.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <thread>

namespace {

using platform::LinuxRestart;
using platform::SessionManager;

// A bus of the test's own (dbus-daemon), where anyone may own any name. Its service folder
// makes each session manager startable: starting one leaves a file named after it in
// startedFolder().
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty() || !m_dir.isValid()) return;
        QDir(m_dir.path()).mkpath("services");
        QDir(m_dir.path()).mkpath("started");
        for (const char* service :
             {"org.gnome.SessionManager", "org.kde.Shutdown", "org.kde.ksmserver", "org.xfce.SessionManager"}) {
            QFile file(m_dir.path() + "/services/" + service + ".service");
            if (!file.open(QIODevice::WriteOnly)) return;
            file.write("[D-BUS Service]\nName=" + QByteArray(service) + "\nExec=/usr/bin/touch " +
                       QFile::encodeName(startedFolder()) + "/" + service + "\n");
        }
        QFile config(m_dir.path() + "/bus.conf");
        if (!config.open(QIODevice::WriteOnly)) return;
        const QByteArray dir = QFile::encodeName(m_dir.path());
        config.write("<busconfig><type>session</type><listen>unix:path=" + dir +
                     "/bus</listen><auth>EXTERNAL</auth><servicedir>" + dir +
                     "/services</servicedir><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                     "<allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_daemon.start(daemon, {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000)) return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    // Empty when dbus-daemon could not start.
    QString address() const { return m_address; }
    QString startedFolder() const { return m_dir.path() + "/started"; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

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
    LinuxRestart restart(false, "unix:path=/nonexistent/bus", "unix:path=/nonexistent/bus");
    EXPECT_LT(restart.sendToSystemProcess(platform::kCoreEventClass, platform::kAERestart), 0);
    EXPECT_EQ(restart.askSessionToRestart(), SessionManager::None);
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
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    PrivateBus bus;
    const QString address = bus.address();
    ASSERT_FALSE(address.isEmpty());

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
}

// Stands in for the session managers: logs every call that reaches one, in order, and
// answers it, or refuses it with a D-Bus error.
class SessionManagerDouble : public QDBusVirtualObject {
public:
    SessionManagerDouble(QStringList& log, std::mutex& mutex, bool refuses)
        : m_log(log), m_mutex(mutex), m_refuses(refuses) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QStringList arguments;
        for (const QVariant& argument : message.arguments()) arguments << argument.toString();
        {
            std::lock_guard lock(m_mutex);
            m_log << message.interface() + "." + message.member() + "(" + arguments.join(", ") + ")";
        }
        connection.send(m_refuses ? message.createErrorReply(QDBusError::AccessDenied, "locked down")
                                  : message.createReply());
        return true;
    }

private:
    QStringList& m_log;
    std::mutex& m_mutex;
    bool m_refuses;
};

// Asks on a thread of its own: the doubles answer from this thread's event loop meanwhile.
SessionManager askWhileServing(LinuxRestart& restart) {
    QEventLoop loop;
    SessionManager answer = SessionManager::None;
    std::thread asker([&] {
        answer = restart.askSessionToRestart();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    asker.join();
    return answer;
}

TEST(LinuxRestart, AsksTheFirstRunningSessionManagerThatAccepts) {
    const QString gnome = "org.gnome.SessionManager", plasma = "org.kde.Shutdown", ksm = "org.kde.ksmserver",
                  xfce = "org.xfce.SessionManager";
    const QHash<QString, QString> paths = {{gnome, "/org/gnome/SessionManager"},
                                           {plasma, "/Shutdown"},
                                           {ksm, "/KSMServer"},
                                           {xfce, "/org/xfce/SessionManager"}};
    const QString reboot = "org.gnome.SessionManager.Reboot()", restartXfce = "org.xfce.Session.Manager.Restart(true)";
    const struct Case {
        const char* what;
        QStringList running, refusing;
        bool logOnly;
        SessionManager expected;
        QStringList calls;
        const char* log = "";
    } cases[] = {
        {"GNOME", {gnome}, {}, false, SessionManager::Gnome, {reboot}},
        {"Plasma", {plasma}, {}, false, SessionManager::Kde, {"org.kde.Shutdown.logoutAndReboot()"}},
        {"older Plasma", {ksm}, {}, false, SessionManager::Kde, {"org.kde.KSMServerInterface.logout(1, 1, 3)"}},
        {"Xfce", {xfce}, {}, false, SessionManager::Xfce, {restartXfce}},
        {"GNOME before Xfce", {xfce, gnome}, {}, false, SessionManager::Gnome, {reboot}},
        {"GNOME refuses, Xfce accepts", {gnome, xfce}, {gnome}, false, SessionManager::Xfce, {reboot, restartXfce}},
        {"the only one refuses", {gnome}, {gnome}, false, SessionManager::None, {reboot}},
        {"none runs, each could be started", {}, {}, false, SessionManager::None, {}},
        {"log only",
         {xfce, plasma},
         {},
         true,
         SessionManager::Kde,
         {},
         "restart through the session manager org.kde.Shutdown (not sent in the sample run)\n"},
        {"log only, none runs",
         {},
         {},
         true,
         SessionManager::None,
         {},
         "no session manager answers on the session bus\n"},
    };

    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList log;
        std::mutex mutex;
        std::vector<std::unique_ptr<SessionManagerDouble>> doubles;
        for (const QString& service : c.running) {
            QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), service);
            doubles.push_back(std::make_unique<SessionManagerDouble>(log, mutex, c.refusing.contains(service)));
            ASSERT_TRUE(connection.registerVirtualObject(paths[service], doubles.back().get()));
            ASSERT_TRUE(connection.registerService(service));
        }

        LinuxRestart restart(c.logOnly, "unix:path=/nonexistent/bus", bus.address());
        testing::internal::CaptureStderr();
        EXPECT_EQ(askWhileServing(restart), c.expected);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.log);
        std::lock_guard lock(mutex);
        EXPECT_EQ(log, c.calls);
        EXPECT_EQ(QDir(bus.startedFolder()).entryList(QDir::Files), QStringList{}) << "a manager was started";

        for (const QString& service : c.running) {
            // The name given up and confirmed by the bus, so the next case can take it at once.
            QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), service);
            connection.unregisterObject(paths[service]);
            connection.unregisterService(service);
            QDBusConnection::disconnectFromBus(service);
        }
    }
}

}  // namespace

#include "restart_test.moc"
