// revise-font INSTALLED.otf PATCH [--no-pauses]
//
// Revises one installed font with one patch file, as the wizard revises one target, on the
// real file system: the patch becomes the only source, paired by file name; the installed
// file must be the exact revision the patch was made for. Every progress point is printed
// as "overall step | line 1 | line 2"; the exit status is the revision's result code
// (0 revised, 2 unusable font or data, 7 patch unreadable, 8, 10, 11, 12 as the wizard
// reports them; 64 for a wrong command line).

#include "discovery/FontEntries.h"
#include "discovery/TextRules.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/MakeSabunData.h"
#include "patch/RevisionDriver.h"
#include "platform/LinuxPlatform.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kUsageError = 64;

class InstantPauses : public platform::Pauses {
public:
    void pause(int) override {}
};

bool printProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2, void*) {
    const QByteArray text = QStringLiteral("%1 %2 | %3 | %4\n").arg(overall).arg(step).arg(line1, line2).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fflush(stdout);
    return false;
}

void complain(const QString& message) {
    const QByteArray text = (QStringLiteral("revise-font: ") + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

// The patch as the source list would hold it; nothing when it is no patch file.
fr::SourceEntryPtr sourceFromPatch(const QString& patchPath) {
    std::array<char, 255> name{};
    std::uint32_t version = 0;
    if (!fr::MakeSabunData::checkSabunData(patchPath, name.data(), version)) return nullptr;
    auto source = std::make_shared<fr::SourceEntry>();
    source->fullpath = patchPath;
    source->fontfile =
        fr::text::formKC(fr::text::removeLastExtension(fr::text::lastPathComponent(patchPath)) + QStringLiteral(".otf"));
    // font_name is 32 bytes at most, ended by the first zero byte.
    source->fontname = fr::text::decodeZeroTerminatedUtf8(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(name.data()), 32));
    source->version = version;
    return source;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool noPauses = args.removeAll(QStringLiteral("--no-pauses")) > 0;
    if (args.size() != 2) {
        complain(QStringLiteral("usage: revise-font INSTALLED.otf PATCH [--no-pauses]"));
        return kUsageError;
    }
    const QString installed = QFileInfo(args[0]).absoluteFilePath();
    const QString patch = QFileInfo(args[1]).absoluteFilePath();

    // Two runs in the same second draw different temporary names.
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(::getpid()));

    const platform::LinuxPlatform linux;
    InstantPauses instant;
    platform::Platform services = linux.services();
    if (noPauses) services.pauses = &instant;
    const platform::ScopedPlatform scope(services);

    const fr::SourceEntryPtr source = sourceFromPatch(patch);
    if (!source) {
        complain(QStringLiteral("%1 is not a patch file").arg(patch));
        return fr::result::kPatchLoadFailed;
    }

    // The installed revision, read by the same checks the search makes.
    fr::TargetEntry target;
    target.fullpath = installed;
    {
        std::uint64_t revision = 0;
        const fr::OpenTypeManager check;
        if (!check.checkOpenTypeVersion(installed, *source, revision)) {
            complain(QStringLiteral("%1 is not the font and revision %2 was made for").arg(installed, patch));
            return fr::result::kFontUnusable;
        }
        target.version = static_cast<std::uint32_t>(revision);
    }

    const fr::FixedSourceLookup sources({source});
    fr::OpenTypeManager manager;
    return manager.updateOpenTypeDiff(target, printProgress, nullptr, 1, 0, sources);
}
