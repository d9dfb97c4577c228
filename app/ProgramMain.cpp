#include "app/ProgramMain.h"

#include "app/CommandLine.h"
#include "app/CommandLineText.h"
#include "app/Console.h"
#include "app/Headless.h"
#include "app/Language.h"
#include "app/MainCtrl.h"
#include "platform/DesktopServices.h"
#include "platform/NativePath.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

namespace wizard {

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void requestStop(int) { g_stop.store(true); }

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString programName(const char* argv0) {
    const QString path = platform::decodeNativePath(argv0 ? QByteArrayView(argv0) : QByteArrayView("font-reviser"));
    return path.section(QLatin1Char('/'), -1);
}

bool isOurOption(const QString& arg) { return arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-h"); }

// Whether the wizard has somewhere to show its windows: a display for the Qt platform chosen
// (X11 or Wayland by default), or a platform that needs none (offscreen and the like).
bool haveDisplay(int argc, char** argv) {
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "-platform") == 0) platforms = argv[i + 1];
    const bool x11 = !qgetenv("DISPLAY").isEmpty(), wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
    if (platforms.isEmpty()) return x11 || wayland;
    for (const QByteArray& platform : platforms.split(';')) {
        if (platform.startsWith("xcb")) {
            if (x11) return true;
        } else if (platform.startsWith("wayland")) {
            if (wayland) return true;
        } else {
            return true;
        }
    }
    return false;
}

// The helper's list on standard input: installed fonts' paths, one a line as the search
// reported them, ended by an empty line. Nothing for a list that is not one: no end, a path
// that is no absolute path, more paths or longer ones than any search reports.
std::optional<QStringList> readListedPaths() {
    constexpr int kMostPaths = 100000;
    constexpr std::size_t kLongestPath = 4096;
    QStringList paths;
    std::string line;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c != '\n') {
            if (line.size() == kLongestPath) return std::nullopt;
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (line.empty()) return paths;
        if (line.front() != '/' || paths.size() == kMostPaths) return std::nullopt;
        paths << platform::decodeNativePath(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
        line.clear();
    }
    return std::nullopt;
}

// Standard input stays open after the list; its end (the caller gone, or cancelling) stops
// the run at its next progress point, as SIGINT does.
void stopWhenInputEnds() {
    std::thread([] {
        char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) > 0) {
        }
        g_stop.store(true);
    }).detach();
}

int runWizard(int argc, char** argv, int firstOption, const ProgramSetup& setup) {
    const platform::LinuxPlatformOptions& options = setup.platform;
    QApplication app(argc, argv);
    installLanguage();
    // The launcher and the running window know each other: docks show the menu entry's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.FontReviser"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.velmora.FontReviser")));
    // Qt has taken its own options (-platform and the like); anything else is not ours.
    const QStringList rest = QApplication::arguments().mid(firstOption);
    if (!rest.isEmpty()) {
        print(
            stderr,
            QStringLiteral("%1: unexpected argument: %2\nTry '%1 --help'.\n").arg(programName(argv[0]), rest.first()));
        return exitcode::kUsage;
    }
    const platform::LinuxPlatform linuxPlatform(options);
    platform::DesktopServices desktop(options.logRestartOnly);
    MainCtrl ctrl(desktop.addTo(linuxPlatform.services()));
    ctrl.setTrustedKey(setup.trustedKey);
    ctrl.setElevation(Elevation::fromEnvironment(QCoreApplication::applicationFilePath(), setup.helperArguments));
    ctrl.loadWindows();
    ctrl.awakeFromNib();
    return QApplication::exec();
}

}  // namespace

int programMain(int argc, char** argv, int firstOption, ProgramSetup setup) {
    platform::LinuxPlatformOptions& options = setup.platform;
    // The random part of the temporary files' names: two runs in one second draw apart.
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(::getpid()));
    QStringList args;
    bool any = false;
    for (int i = firstOption; i < argc; ++i) {
        args << platform::decodeNativePath(QByteArrayView(argv[i]));
        any = any || isOurOption(args.last());
    }
    const QString program = programName(argv[0]);
    if (!any && haveDisplay(argc, argv)) return runWizard(argc, argv, firstOption, setup);

    // No window and no display: a core application, its texts in the locale's language, and
    // no pauses for anyone to watch.
    QCoreApplication app(argc, argv);
    installLanguage();
    if (!any) {
        print(stderr, CommandLineText::tr("%1: no display: use --list or --revise, see --help\n").arg(program));
        return exitcode::kUsage;
    }
    CommandLine line = CommandLine::parse(args);
    if (!line.host.isEmpty()) line.host = QFileInfo(line.host).absoluteFilePath();
    if (!line.error.isEmpty()) {
        print(stderr, CommandLineText::tr("%1: %2\nTry '%1 --help'.\n").arg(program, line.error));
        return exitcode::kUsage;
    }
    if (line.mode == CommandLine::Mode::Help) {
        print(stdout, helpText(program));
        return 0;
    }
    if (line.mode == CommandLine::Mode::Version) {
        print(stdout, versionText(setup.trustedKey));
        return 0;
    }

    options.instantPauses = true;
    const platform::LinuxPlatform linuxPlatform(options);
    platform::DesktopServices desktop(options.logRestartOnly);
    installStopHandlers();
    Console console(line.json, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    const platform::Platform services = desktop.addTo(linuxPlatform.services());
    if (line.mode == CommandLine::Mode::Helper) {
        const std::optional<QStringList> listed = readListedPaths();
        if (!listed) {
            print(stderr, CommandLineText::tr("%1: --helper reads installed fonts' paths, one a line, ended by an "
                                              "empty line\n")
                              .arg(program));
            return exitcode::kUsage;
        }
        stopWhenInputEnds();
        return runHelper(*listed, console, g_stop, services, setup.trustedKey);
    }
    return runHeadless(line, console, g_stop, services, setup.trustedKey);
}

}  // namespace wizard
