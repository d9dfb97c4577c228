#include "app/CommandLine.h"

#include "app/CommandLineText.h"

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
        else if (option == QLatin1String("--dry-run"))
            line.dryRun = true;
        else if (option == QLatin1String("--keep-going"))
            line.keepGoing = true;
        else if (option == QLatin1String("--verbose"))
            line.verbose = true;
        else if (option == QLatin1String("--help") || option == QLatin1String("-h"))
            line.mode = Mode::Help;
        else if (option == QLatin1String("--version"))
            line.mode = Mode::Version;
        else {
            line.error = CommandLineText::tr("unknown option: %1").arg(option);
            return line;
        }
    }
    if (line.mode == Mode::Help || line.mode == Mode::Version) return line;
    if (list && revise)
        line.error = CommandLineText::tr("--list and --revise exclude each other");
    else if ((line.restart || line.dryRun || line.keepGoing) && !revise)
        line.error = CommandLineText::tr("--restart, --dry-run and --keep-going go with --revise");
    else if (line.restart && line.dryRun)
        line.error = CommandLineText::tr("--restart and --dry-run exclude each other");
    else if ((line.json || line.verbose) && !list && !revise)
        line.error = CommandLineText::tr("--json and --verbose go with --list or --revise");
    else if (list)
        line.mode = Mode::List;
    else if (revise)
        line.mode = Mode::Revise;
    return line;
}

QString helpText(const QString& program) {
    return CommandLineText::tr(
               "Usage: %1 --list [--verbose] [--json]\n"
               "       %1 --revise [--dry-run | --restart] [--keep-going] [--verbose] [--json]\n"
               "\n"
               "Revises the installed Velmora and Kestrune OpenType fonts with the patches in the\n"
               "\"host\" folder beside the program. Without an option the wizard starts; with one,\n"
               "the program runs without windows (no display needed).\n"
               "\n"
               "  --list        search the local disks and fontconfig's font folders and print each\n"
               "                font that would be revised, with its revision, and whether this\n"
               "                user may replace it\n"
               "  --revise      search, then revise every font found, in the wizard's order; the\n"
               "                run stops at the first font that fails\n"
               "  --dry-run     with --revise: everything short of writing (the patches, the new\n"
               "                fonts built and checked in memory, the permissions); nothing is\n"
               "                written or removed, and the exit status is the one --revise would give\n"
               "  --keep-going  with --revise: try every font even after one fails; the exit\n"
               "                status is then the first failure's\n"
               "  --restart     after a successful --revise, also ask the system to restart\n"
               "                (without it the program only says that a restart is needed)\n"
               "  --verbose     also tell each file of \"host\" that is no patch, each font met\n"
               "                that is no target, and the volumes and font folders walked or not\n"
               "  --json        print one JSON object per event on standard output instead of text\n"
               "  --help        print this help\n"
               "  --version     print the version\n"
               "\n"
               "Progress goes to standard error; every failure comes with a reason (an identifier\n"
               "and a line in English). Messages follow the locale (LC_ALL, LC_MESSAGES, LANG):\n"
               "Japanese under a ja locale, English otherwise. SIGINT and SIGTERM stop the run as the\n"
               "Cancel button does: the font being revised is left untouched or completed.\n"
               "\n"
               "Exit status:\n"
               "   0  every font found was revised, or would be (--list: fonts were found)\n"
               "   2  an installed font or the data for it is unusable\n"
               "   6  stopped (SIGINT or SIGTERM)\n"
               "   7  a patch file could not be read, or is not the one the manifest lists\n"
               "   8  the new font file could not be made, or was not as built\n"
               "  10  an installed font may not be replaced by this user\n"
               "  11  putting the new font in place failed\n"
               "  12  a file of the program's could not be removed\n"
               "  20  no patch file in the \"host\" folder, or its manifest can't be trusted\n"
               "  21  no installed font to revise\n"
               "  22  the font manager is running\n"
               "  23  the fonts were revised, but the restart request could not be sent\n"
               "  64  a bad command line, or no option and no display\n")
        .arg(program);
}

QString versionText() { return QStringLiteral("font-reviser %1\n").arg(QStringLiteral(FR_VERSION)); }

}  // namespace wizard
