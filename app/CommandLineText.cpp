#include "app/CommandLineText.h"

#include "patch/RevisionCodes.h"
#include "platform/PathText.h"

#include <QTranslator>

namespace wizard {

namespace {
bool g_japanese = false;
}  // namespace

void installCommandLineLanguage() {
    QByteArray locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qgetenv(name);
        if (!locale.isEmpty()) break;
    }
    g_japanese = locale.startsWith("ja");
    if (!g_japanese) return;
    static QTranslator translator;
    if (translator.load(QStringLiteral(":/translations/font-reviser_ja.qm")))
        QCoreApplication::installTranslator(&translator);
}

bool commandLineIsJapanese() { return g_japanese; }

QString resultText(std::int32_t code, const QString& fullpath) {
    namespace result = fr::result;
    const QString fileName = platform::lastPathComponent(fullpath);
    switch (code) {
    case result::kFontUnusable:
        return CommandLineText::tr(
                   "Reading the font to revise (%1) failed.\n\nThe font was not updated correctly: "
                   "run the update again.")
            .arg(fullpath);
    case result::kNewFileFailedAlso3:
    case result::kNewFileFailed:
    case result::kNewFileFailedAlso9:
    case result::kCopyFailed:
    case result::kTempNotRemovable:
        return CommandLineText::tr(
                   "Making the new font file (%1) failed.\n\nThe font was not updated correctly: "
                   "run the update again.")
            .arg(fileName);
    case result::kPatchLoadFailed:
        return CommandLineText::tr(
                   "Reading the patch file for %1 failed.\n\nThe font was not updated correctly: "
                   "run the update again.")
            .arg(fileName);
    case result::kNotReplaceable:
        return CommandLineText::tr(
                   "This user may not replace the font %1: run the program as root (for example "
                   "with sudo), or ask an administrator.")
            .arg(fullpath);
    default:
        return stoppedText();
    }
}

QString stoppedText() { return CommandLineText::tr("The revision of the OpenType Velmora fonts was stopped."); }

}  // namespace wizard
