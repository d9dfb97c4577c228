#include "app/CommandLine.h"

#include "app/CommandLineText.h"
#include "patch/PatchManifest.h"

#include <optional>

namespace wizard {

namespace {
// A number of at least `least` after an option; nothing for anything else.
std::optional<int> number(const QString& text, int least) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= least ? std::optional<int>(n) : std::nullopt;
}
}  // namespace

CommandLine CommandLine::parse(const QStringList& options) {
    CommandLine line;
    QList<Mode> modes;
    bool waitGiven = false, keepGiven = false;
    const auto fail = [&line](QString error) {
        line.error = std::move(error);
        return line;
    };
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& option = options[i];
        // The value after an option that takes one.
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= options.size() || options[i + 1].startsWith(QLatin1String("--"))) return std::nullopt;
            return options[++i];
        };
        const auto missing = [&] { return fail(CommandLineText::tr("%1 needs a value").arg(option)); };
        if (option == QLatin1String("--list"))
            modes << Mode::List;
        else if (option == QLatin1String("--revise"))
            modes << Mode::Revise;
        else if (option == QLatin1String("--history"))
            modes << Mode::History;
        else if (option == QLatin1String("--undo")) {
            modes << Mode::Undo;
            if (const auto run = value()) line.undoRun = *run;
        } else if (option == QLatin1String("--json"))
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
        else if (option == QLatin1String("--font-folders-only"))
            line.fontFoldersOnly = true;
        else if (option == QLatin1String("--host")) {
            const auto folder = value();
            if (!folder) return missing();
            line.host = *folder;
        } else if (option == QLatin1String("--under")) {
            const auto folder = value();
            if (!folder) return missing();
            line.under << *folder;
        } else if (option == QLatin1String("--wait")) {
            const auto seconds = value();
            if (!seconds) return missing();
            const auto n = number(*seconds, 0);
            if (!n) return fail(CommandLineText::tr("--wait takes a number of seconds"));
            line.waitSeconds = *n;
            waitGiven = true;
        } else if (option == QLatin1String("--keep-backups")) {
            const auto count = value();
            if (!count) return missing();
            const auto n = number(*count, 0);
            if (!n) return fail(CommandLineText::tr("--keep-backups takes a number of runs"));
            line.keepBackups = *n;
            keepGiven = true;
        } else if (option == QLatin1String("--help") || option == QLatin1String("-h"))
            line.mode = Mode::Help;
        else if (option == QLatin1String("--version"))
            line.mode = Mode::Version;
        else if (option == QLatin1String("--helper")) {
            // The helper an administrator's authentication starts takes no option that changes
            // what or where it writes: its JSON events, its own "host" and key, nothing else.
            if (options.size() != 1) return fail(CommandLineText::tr("--helper takes no other option"));
            line.mode = Mode::Helper;
            line.json = true;
            line.verbose = true;
            return line;
        } else {
            return fail(CommandLineText::tr("unknown option: %1").arg(option));
        }
    }
    if (line.mode == Mode::Help || line.mode == Mode::Version) return line;
    if (modes.size() > 1) return fail(CommandLineText::tr("--list, --revise, --undo and --history exclude each other"));
    const Mode mode = modes.isEmpty() ? Mode::Wizard : modes.first();
    const bool list = mode == Mode::List, revise = mode == Mode::Revise, undo = mode == Mode::Undo;
    if ((line.restart || line.keepGoing) && !revise)
        return fail(CommandLineText::tr("--restart and --keep-going go with --revise"));
    if (line.dryRun && !revise && !undo) return fail(CommandLineText::tr("--dry-run goes with --revise or --undo"));
    if (line.restart && line.dryRun) return fail(CommandLineText::tr("--restart and --dry-run exclude each other"));
    if ((line.verbose || line.allowUnsigned || !line.host.isEmpty() || !line.under.isEmpty() || line.fontFoldersOnly) &&
        !list && !revise)
        return fail(CommandLineText::tr(
            "--verbose, --allow-unsigned, --host, --under and --font-folders-only go with --list or --revise"));
    if (!line.under.isEmpty() && line.fontFoldersOnly)
        return fail(CommandLineText::tr("--under and --font-folders-only exclude each other"));
    for (const QString& folder : line.under)
        if (!folder.startsWith(QLatin1Char('/')))
            return fail(CommandLineText::tr("--under takes an absolute path: %1").arg(folder));
    if ((waitGiven || keepGiven) && !revise && !undo)
        return fail(CommandLineText::tr("--wait and --keep-backups go with --revise or --undo"));
    if (line.json && mode == Mode::Wizard)
        return fail(CommandLineText::tr("--json goes with --list, --revise, --undo or --history"));
    line.mode = mode;
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
                                       "font that would be revised, with its revision, the one it would\n"
                                       "become, and whether this user may replace it")},
        {"--revise", CommandLineText::tr("search, then revise every font found, in the wizard's order; the\n"
                                         "run stops at the first font that fails")},
        {"--dry-run", CommandLineText::tr("with --revise: everything short of writing (the patches, the new\n"
                                          "fonts built and checked in memory, the permissions); nothing is\n"
                                          "written or removed, and the exit status is the one --revise would give;\n"
                                          "with --undo: what would be put back")},
        {"--undo [RUN]", CommandLineText::tr("put back the fonts a run replaced (the last run that replaced any, or\n"
                                             "RUN as --history names it), each only where the file in place is still\n"
                                             "what that run wrote; any other is skipped with its reason")},
        {"--history", CommandLineText::tr("print the runs that wrote, each font with its revisions and SHA-256\n"
                                          "digests, and the space the kept old fonts take")},
        {"--under PATH", CommandLineText::tr("search only inside this folder, the search's rules applying there\n"
                                             "(may be given more than once)")},
        {"--font-folders-only", CommandLineText::tr("search only fontconfig's font folders, no volume")},
        {"--host DIR", CommandLineText::tr("take the patches from DIR instead of the \"host\" folder beside the\n"
                                           "program or /usr/share/font-reviser/host (the signature rules stay)")},
        {"--wait SECONDS", CommandLineText::tr("where another run holds the lock, wait up to SECONDS for it to end")},
        {"--keep-backups N",
         CommandLineText::tr("keep the replaced fonts of the last N runs for --undo (3 by default)")},
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
        {exitcode::kBusy, CommandLineText::tr("another run of the program holds the lock (see --wait)")},
        {exitcode::kUsage, CommandLineText::tr("a bad command line, or no option and no display")},
    };
    QString text = CommandLineText::tr(
                       "Usage: %1 --list [SEARCH OPTIONS] [--json]\n"
                       "       %1 --revise [--dry-run | --restart] [--keep-going] [SEARCH OPTIONS]\n"
                       "              [--wait SECONDS] [--keep-backups N] [--json]\n"
                       "       %1 --undo [RUN] [--dry-run] [--wait SECONDS] [--json]\n"
                       "       %1 --history [--json]\n"
                       "Search options: [--under PATH]... | [--font-folders-only], [--host DIR],\n"
                       "                [--allow-unsigned], [--verbose]\n")
                       .arg(program) +
                   QLatin1Char('\n') +
                   CommandLineText::tr(
                       "Revises the installed Velmora and Kestrune OpenType fonts with the patches in the\n"
                       "\"host\" folder beside the program. Without an option the wizard starts; with one,\n"
                       "the program runs without windows (no display needed).\n") +
                   QLatin1Char('\n');
    for (const auto& [option, description] : options)
        text += entry(QStringLiteral("  ") + QLatin1String(option), 20, description);
    text += QLatin1Char('\n') +
            CommandLineText::tr(
                "Progress goes to standard error; every failure comes with a reason (an identifier\n"
                "and a line in English). Messages follow the locale (LC_ALL, LC_MESSAGES, LANG):\n"
                "Japanese under a ja locale, English otherwise. SIGINT and SIGTERM stop the run as the\n"
                "Cancel button does: the font being revised is left untouched or completed.\n") +
            QLatin1Char('\n') +
            CommandLineText::tr(
                "One run that writes at a time: it takes the lock /run/lock/font-reviser.lock (root) or\n"
                "$XDG_RUNTIME_DIR/font-reviser.lock (a user). Each such run is added to the history\n"
                "/var/lib/font-reviser/history.jsonl (root) or $XDG_STATE_HOME/font-reviser/history.jsonl,\n"
                "every font it revised to the system journal, and the fonts it replaced are kept in\n"
                "the backup folder beside the history.\n") +
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
