#include "app/CommandLine.h"

#include "app/CommandLineText.h"
#include "patch/PatchManifest.h"

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
        else if (option == QLatin1String("--allow-unsigned"))
            line.allowUnsigned = true;
        else if (option == QLatin1String("--help") || option == QLatin1String("-h"))
            line.mode = Mode::Help;
        else if (option == QLatin1String("--version"))
            line.mode = Mode::Version;
        else if (option == QLatin1String("--helper") && options.size() == 1)
            line.mode = Mode::Helper;
        else if (option == QLatin1String("--helper")) {
            line.error = CommandLineText::tr("--helper takes no other option");
            return line;
        }
        else {
            line.error = CommandLineText::tr("unknown option: %1").arg(option);
            return line;
        }
    }
    if (line.mode == Mode::Help || line.mode == Mode::Version) return line;
    if (line.mode == Mode::Helper) {
        // The helper an administrator's authentication starts takes no option that changes
        // what or where it writes: its JSON events, its own "host" and key, nothing else.
        line.json = true;
        line.verbose = true;
        return line;
    }
    if (list && revise)
        line.error = CommandLineText::tr("--list and --revise exclude each other");
    else if ((line.restart || line.dryRun || line.keepGoing) && !revise)
        line.error = CommandLineText::tr("--restart, --dry-run and --keep-going go with --revise");
    else if (line.restart && line.dryRun)
        line.error = CommandLineText::tr("--restart and --dry-run exclude each other");
    else if ((line.json || line.verbose || line.allowUnsigned) && !list && !revise)
        line.error = CommandLineText::tr("--json, --verbose and --allow-unsigned go with --list or --revise");
    else if (list)
        line.mode = Mode::List;
    else if (revise)
        line.mode = Mode::Revise;
    return line;
}

namespace {
// An entry of the help: `head` in its own column of `width`, then the description, whose
// further lines are indented to the same column (a head too wide for it stands on a line of
// its own).
QString entry(const QString& head, int width, const QString& description) {
    const QString indent(width, u' ');
    const QString first = head.size() + 2 > width ? head + QLatin1Char('\n') + indent : head.leftJustified(width);
    return first + description.split(u'\n').join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
}
}  // namespace

QString helpText(const QString& program) {
    // Each description is its own text, so that an option added is one text to translate.
    const std::pair<const char*, QString> options[] = {
        {"--list", CommandLineText::tr("search the local disks and fontconfig's font folders and print each\n"
                                       "font that would be revised, with its revision, and whether this\n"
                                       "user may replace it")},
        {"--revise", CommandLineText::tr("search, then revise every font found, in the wizard's order; the\n"
                                         "run stops at the first font that fails")},
        {"--dry-run", CommandLineText::tr("with --revise: everything short of writing (the patches, the new\n"
                                          "fonts built and checked in memory, the permissions); nothing is\n"
                                          "written or removed, and the exit status is the one --revise would give")},
        {"--keep-going", CommandLineText::tr("with --revise: try every font even after one fails; the exit\n"
                                             "status is then the first failure's")},
        {"--restart", CommandLineText::tr("after a successful --revise, also ask the system to restart\n"
                                          "(without it the program only says that a restart is needed)")},
        {"--allow-unsigned", CommandLineText::tr("where this program trusts a signing key, it applies only patches\n"
                                                 "whose signed manifest lies in \"host\"; with this option it also\n"
                                                 "applies patches from a \"host\" folder without one, unverified")},
        {"--verbose", CommandLineText::tr("also tell each file of \"host\" that is no patch, each font met\n"
                                          "that is no target, and the volumes and font folders walked or not")},
        {"--json", CommandLineText::tr("print one JSON object per event on standard output instead of text")},
        {"--help", CommandLineText::tr("print this help")},
        {"--version", CommandLineText::tr("print the version and the key the patches must be signed with")},
    };
    const std::pair<int, QString> statuses[] = {
        {0, CommandLineText::tr("every font found was revised, or would be (--list: fonts were found)")},
        {2, CommandLineText::tr("an installed font or the data for it is unusable")},
        {6, CommandLineText::tr("stopped (SIGINT or SIGTERM)")},
        {7, CommandLineText::tr("a patch file could not be read, or is not the one the manifest lists")},
        {8, CommandLineText::tr("the new font file could not be made, or was not as built")},
        {10, CommandLineText::tr("an installed font may not be replaced by this user")},
        {11, CommandLineText::tr("putting the new font in place failed")},
        {12, CommandLineText::tr("a file of the program's could not be removed, or one stays beside a\n"
                                 "font because it may be that font's only good copy")},
        {20, CommandLineText::tr("no patch file in the \"host\" folder, its manifest can't be trusted, or\n"
                                 "it has none where this program trusts a key (see --allow-unsigned)")},
        {21, CommandLineText::tr("no installed font to revise")},
        {22, CommandLineText::tr("the font manager is running")},
        {23, CommandLineText::tr("the fonts were revised, but the restart request could not be sent")},
        {exitcode::kUsage, CommandLineText::tr("a bad command line, or no option and no display")},
    };
    QString text = CommandLineText::tr(
                       "Usage: %1 --list [--allow-unsigned] [--verbose] [--json]\n"
                       "       %1 --revise [--dry-run | --restart] [--keep-going] [--allow-unsigned]\n"
                       "              [--verbose] [--json]\n")
                       .arg(program) +
                   QLatin1Char('\n') +
                   CommandLineText::tr(
                       "Revises the installed Velmora and Kestrune OpenType fonts with the patches in the\n"
                       "\"host\" folder beside the program. Without an option the wizard starts; with one,\n"
                       "the program runs without windows (no display needed).\n") +
                   QLatin1Char('\n');
    for (const auto& [option, description] : options)
        text += entry(QStringLiteral("  ") + QLatin1String(option), 16, description);
    text += QLatin1Char('\n') +
            CommandLineText::tr(
                "Progress goes to standard error; every failure comes with a reason (an identifier\n"
                "and a line in English). Messages follow the locale (LC_ALL, LC_MESSAGES, LANG):\n"
                "Japanese under a ja locale, English otherwise. SIGINT and SIGTERM stop the run as the\n"
                "Cancel button does: the font being revised is left untouched or completed.\n") +
            QLatin1Char('\n') + CommandLineText::tr("Exit status:") + QLatin1Char('\n');
    for (const auto& [status, description] : statuses)
        text += entry(QStringLiteral("%1").arg(status, 4), 6, description);
    return text;
}

QString versionText(const QString& trustedKey) {
    const auto id = fr::minisignKeyId(trustedKey);
    return QStringLiteral("font-reviser %1\n").arg(QStringLiteral(FR_VERSION)) +
           (id ? CommandLineText::tr("Patches must be signed with the minisign key %1.").arg(*id)
               : CommandLineText::tr("This build trusts no signing key: patches are applied unverified.")) +
           QLatin1Char('\n');
}

}  // namespace wizard
