#include "app/CommandLine.h"

namespace wizard {

CommandLine CommandLine::parse(const QStringList& options) {
    CommandLine line;
    bool list = false, revise = false;
    for (const QString& option : options) {
        if (option == QLatin1String("--list"))
            list = true;
        else if (option == QLatin1String("--revise"))
            revise = true;
        else if (option == QLatin1String("--json"))
            line.json = true;
        else if (option == QLatin1String("--restart"))
            line.restart = true;
        else if (option == QLatin1String("--help") || option == QLatin1String("-h"))
            line.mode = Mode::Help;
        else if (option == QLatin1String("--version"))
            line.mode = Mode::Version;
        else {
            line.error = QStringLiteral("unknown option: %1").arg(option);
            return line;
        }
    }
    if (line.mode == Mode::Help || line.mode == Mode::Version) return line;
    if (list && revise)
        line.error = QStringLiteral("--list and --revise exclude each other");
    else if (line.restart && !revise)
        line.error = QStringLiteral("--restart goes with --revise");
    else if (line.json && !list && !revise)
        line.error = QStringLiteral("--json goes with --list or --revise");
    else if (list)
        line.mode = Mode::List;
    else if (revise)
        line.mode = Mode::Revise;
    return line;
}

QString helpText(const QString& program) {
    return QStringLiteral(
               "Usage: %1 [--list | --revise [--restart]] [--json]\n"
               "\n"
               "Revises the installed Velmora and Kestrune OpenType fonts with the patches in the\n"
               "\"host\" folder beside the program. Without an option the wizard starts; with one,\n"
               "the program runs without windows (no display needed).\n"
               "\n"
               "  --list      search the local disks and fontconfig's font folders and print each\n"
               "              font that would be revised, with its revision\n"
               "  --revise    search, then revise every font found, in the wizard's order; the\n"
               "              run stops at the first font that fails\n"
               "  --restart   after a successful --revise, also ask the system to restart\n"
               "              (without it the program only says that a restart is needed)\n"
               "  --json      print one JSON object per event on standard output instead of text\n"
               "  --help      print this help\n"
               "  --version   print the version\n"
               "\n"
               "Progress goes to standard error. SIGINT and SIGTERM stop the run as the Cancel\n"
               "button does: the font being revised is left untouched or completed, never half done.\n"
               "\n"
               "Exit status:\n"
               "   0  every font found was revised (--list: fonts were found)\n"
               "   2  an installed font or the data for it is unusable\n"
               "   6  stopped (SIGINT or SIGTERM)\n"
               "   7  a patch file could not be read\n"
               "   8  the new font file could not be made, or was not as built\n"
               "  10  an installed font may not be replaced\n"
               "  11  putting the new font in place failed\n"
               "  12  a temporary file could not be removed\n"
               "  20  no patch file in the \"host\" folder\n"
               "  21  no installed font to revise\n"
               "  22  the font manager is running\n"
               "  64  a bad command line\n")
        .arg(program);
}

QString versionText() { return QStringLiteral("font-reviser %1\n").arg(QStringLiteral(FR_VERSION)); }

}  // namespace wizard
