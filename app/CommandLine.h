#pragma once
// The program's command line. With no option the wizard starts; every option runs the
// program without windows, for administrators and scripts.

#include "patch/RunHistory.h"

#include <QString>
#include <QStringList>

namespace wizard {

// Exit statuses of the command line besides the revision result codes (0, 2, 6, 7, 8, 10,
// 11, 12), which it returns as they come.
namespace exitcode {
constexpr int kNoPatchSource = 20;       // no usable patch in the "host" folder
constexpr int kNoTarget = 21;            // no installed font is a revision target
constexpr int kFontManagerRunning = 22;  // the system's font manager is running
constexpr int kRestartNotSent = 23;      // the fonts were revised, but the restart request could not be sent
constexpr int kBusy = 24;                // another run of the program is under way
constexpr int kUsage = 64;               // a bad command line, or none without a display
}  // namespace exitcode

struct CommandLine {
    enum class Mode { Wizard, List, Revise, Undo, History, Help, Version, Helper };
    Mode mode = Mode::Wizard;
    bool json = false;
    bool restart = false;
    bool dryRun = false;                       // --revise or --undo without writing anything
    bool keepGoing = false;                    // --revise tries every font, whatever the ones before end with
    bool verbose = false;                      // also what the search passed over and walked
    bool allowUnsigned = false;                // patches without a signed manifest, where a key is built in
    QString host;                              // --host: the administrator's folder of patches
    QStringList under;                         // --under: the search confined to these folders
    bool fontFoldersOnly = false;              // --font-folders-only: the font folders, no volume
    int waitSeconds = 0;                       // --wait: how long to wait for another run to end
    QString undoRun;                           // --undo RUN; empty: the last run
    int keepBackups = fr::kKeptRunsByDefault;  // --keep-backups: the runs whose replaced fonts are kept
    QString error;                             // set when the command line is bad

    static CommandLine parse(const QStringList& options);
    // Whether the run writes (and so takes the lock, keeps history and backups).
    bool writes() const { return mode == Mode::Helper || ((mode == Mode::Revise || mode == Mode::Undo) && !dryRun); }
};

// The text of --help; `program` is the name to show in the usage line.
QString helpText(const QString& program);
// The version, and the key whose signature the patches need (`trustedKey`; none: no key).
QString versionText(const QString& trustedKey);

}  // namespace wizard
