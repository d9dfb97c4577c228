// The revise-font tool killed with SIGKILL at a random moment of its run, hundreds of times,
// each time on a fresh copy of a real fixture font: with the pauses (the new copy then stands
// longer beside the font), without them, and on a slow disk (every write and flush held up,
// the copy moved in small pieces). After each kill the installed path holds the old font or
// the new one, byte for byte; the next run (the tool, or the program's own headless
// revision) leaves the new font in place and nothing of ours behind.

#include "patch/RevisionCodes.h"
#include "support/ToolScene.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

using namespace testsupport;

namespace {

const QByteArray kSample = FR_BINARY_DIR "/app/font-reviser-sample";
constexpr int kNoTarget = 21;  // the program's exit status when nothing is left to revise

#if defined(__SANITIZE_ADDRESS__)
constexpr int kTrialShare = 5;  // instrumented builds run a fifth of the trials
#else
constexpr int kTrialShare = 1;
#endif

struct Mode {
    const char* name;
    int trials;
    bool pauses;
    bool slowDisk;
};

// The child's environment: the scene's temporary folder, and the slow disk if asked.
std::vector<QByteArray> environmentFor(const ToolScene& scene, bool slowDisk) {
    if (!slowDisk) return scene.environment();
    return scene.environment({"FR_SLOW_US=3000", "FR_SLOW_CHUNK=256"});
}

// What a kill left: the state of the font, and what of ours stood where.
QString stateAfterKill(const ToolScene& scene, bool exited) {
    if (exited) return QStringLiteral("ran to its end");
    const bool isNew = scene.installedNow() == scene.reference();
    QStringList parts{isNew ? QStringLiteral("new font") : QStringLiteral("old font")};
    for (const QString& s : scene.stray()) {
        if (s.startsWith(QLatin1String("tmp: "))) {
            parts << QStringLiteral("temporary file");
            continue;
        }
        // Beside the font, told apart by what it holds (after the exchange the old font
        // stands under the new copy's name).
        const Bytes beside = readBytes(scene.fontFolder() + QLatin1Char('/') + s.mid(7));
        parts << (beside == scene.oldFont()     ? QStringLiteral("old font beside it")
                  : beside == scene.reference() ? QStringLiteral("new copy beside it")
                                                : QStringLiteral("partial new copy beside it"));
    }
    parts.removeDuplicates();
    return parts.join(QStringLiteral(", "));
}

// What the trials found, from every worker.
struct Tally {
    std::mutex mutex;
    std::map<QString, int> states;
    int trials = 0;
    QStringList failures;

    void count(const QString& state) {
        const std::lock_guard lock(mutex);
        ++states[state];
        ++trials;
    }
    // False once there are enough failures to stop.
    bool fail(const QString& what) {
        const std::lock_guard lock(mutex);
        failures << what;
        return failures.size() < 6;
    }
};

// One worker's share of a mode's trials, on a scene of its own.
void killTrials(const FixtureSet& set, const Mode& mode, int share, std::uint32_t seed, Tally& tally) {
    ToolScene scene(set);
    const auto env = environmentFor(scene, mode.slowDisk);
    const QString where = QString::fromUtf8(mode.name) + QStringLiteral(", trial ");

    // The span of a whole run here, while the other workers run theirs: the middle of three.
    std::vector<double> spans;
    for (int k = 0; k < 3; ++k) {
        scene.reset();
        const auto begun = std::chrono::steady_clock::now();
        const int code = runProgram(scene.reviseCommand(mode.pauses), env);
        spans.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count());
        if (code != fr::result::kRevised || scene.installedNow() != scene.reference() || !scene.stray().isEmpty()) {
            tally.fail(QString::fromUtf8(mode.name) + QStringLiteral(": a run left alone ended with %1").arg(code));
            return;
        }
    }
    std::sort(spans.begin(), spans.end());
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> moment(0.0, 1.05 * spans[1]);

    for (int trial = 0; trial < share; ++trial) {
        scene.reset();
        const pid_t pid = startProgram(scene.reviseCommand(mode.pauses), env);
        if (pid <= 0) {
            tally.fail(where + QStringLiteral("%1: the tool did not start").arg(trial));
            return;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
        int status = 0;
        const bool exited = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!exited) {
            ::kill(pid, SIGKILL);
            waitProgram(pid);
        }
        const QString state = stateAfterKill(scene, exited);
        tally.count(state);
        if (!scene.wholeFont()) {
            if (!tally.fail(where +
                            QStringLiteral("%1: the installed path holds neither font (%2)").arg(trial).arg(state)))
                return;
            continue;
        }

        // The next run, by turns the tool and the program's headless revision.
        const bool wasNew = scene.installedNow() == scene.reference();
        const bool byTool = trial % 2 == 0;
        const int code =
            runProgram(byTool ? scene.reviseCommand()
                              : std::vector<QByteArray>{kSample, QFile::encodeName(scene.root()), "--revise"},
                       scene.environment());
        const int expected = !wasNew ? fr::result::kRevised : byTool ? fr::result::kFontUnusable : kNoTarget;
        const QStringList left = scene.stray();
        if (code != expected || scene.installedNow() != scene.reference() || !left.isEmpty()) {
            const QString what = QStringLiteral("%1 (%2), next run by %3: status %4, expected %5; left: %6")
                                     .arg(trial)
                                     .arg(state, byTool ? QStringLiteral("the tool") : QStringLiteral("the program"))
                                     .arg(code)
                                     .arg(expected)
                                     .arg(left.join(QStringLiteral(" | ")));
            if (!tally.fail(where + what)) return;
        }
    }
}

TEST(CrashConsistency, AKillAtAnyMomentLeavesAWholeFontAndTheNextRunLeavesNothingOfOurs) {
    QString error;
    const auto set = FixtureSet::shared(error);
    ASSERT_TRUE(set) << error.toStdString();

    // The trials spend most of their time waiting for their moment: three run at once.
    constexpr int kWorkers = 3;
    const std::vector<Mode> modes = {{"with the pauses", 120 / kTrialShare, true, false},
                                     {"without the pauses", 120 / kTrialShare, false, false},
                                     {"on a slow disk", 60 / kTrialShare, false, true}};
    std::random_device seeds;
    Tally tally;
    for (const Mode& mode : modes) {
        std::vector<std::thread> workers;
        for (int w = 0; w < kWorkers; ++w)
            workers.emplace_back(killTrials, std::cref(*set), std::cref(mode),
                                 mode.trials / kWorkers + (w < mode.trials % kWorkers ? 1 : 0), seeds(),
                                 std::ref(tally));
        for (std::thread& worker : workers) worker.join();
    }

    std::cout << tally.trials << " kills:";
    for (const auto& [state, count] : tally.states) std::cout << "\n  " << count << "  " << state.toStdString();
    std::cout << std::endl;
    EXPECT_TRUE(tally.failures.isEmpty()) << tally.failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(tally.trials, 300 / kTrialShare);
    if (kTrialShare == 1) {
        // The kills reached both sides of the replacement, and left something for the next run.
        int oldWithCopy = 0, newFont = tally.states[QStringLiteral("ran to its end")];
        for (const auto& [state, count] : tally.states) {
            if (state.startsWith(QLatin1String("old font")) && state.contains(QLatin1String("new copy beside")))
                oldWithCopy += count;
            if (state.startsWith(QLatin1String("new font"))) newFont += count;
        }
        EXPECT_GT(oldWithCopy, 0);
        EXPECT_GT(newFont, 0);
    }
}

}  // namespace
