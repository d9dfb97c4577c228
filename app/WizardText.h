#pragma once
// The wizard's own texts: English here, Japanese in translations/font-reviser_ja.ts, where each
// is the product's text byte for byte. "\n" is a line break; a button's name stands between
// typographic quotes.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace wizard {

struct WizardText {
    Q_DECLARE_TR_FUNCTIONS(WizardText)

public:
    // The font manager runs: the program does not start (the command line says the same).
    static QString fontManagerRunning();
    // The cancel confirmations: the start and font list windows and the revision share one.
    static QString cancelRevision();
    static QString cancelSearch();
    // The search phase's ends.
    static QString noSource();
    static QString noTarget();
    // The font list window's Enter with no target.
    static QString noTargetToRevise();
    // The end window's message after every font was revised, and the line under it.
    static QString revisionSucceeded();
    static QString newFontsInUse();
    // Why "host" gives no patch source, a line under the no-source message.
    static QString noHostFolder(const QString& folder);
    static QString noPatchForTheseFonts(const QString& folder);
    static QString unsignedPatches(const QString& folder);
    static QString signatureDoesNotVerify(const QString& folder);
    static QString manifestUnusable(const QString& folder);
    // A stopped revision's fonts that were revised before the stop, under the stop message.
    static QString alreadyRevised(const QStringList& fonts);
    // A font in the list that needs an administrator's authentication.
    static QString needsAdministrator();
    // The authentication for those fonts refused or dismissed: they were not revised.
    static QString notAuthorized(const QStringList& fonts);
    // Another revision holds the lock: this one does not start.
    static QString anotherRevisionRunning();
    // The lock can't be taken at all.
    static QString lockUnavailable(const QString& lockFile);
    // The administrator's helper found another revision running: these fonts were not revised.
    static QString helperBusy(const QStringList& fonts);
    // No desktop session can restart with the programs' consent: ask before logind does.
    static QString restartWithoutSession();
};

// The families the program revises, shown in the start window: names, the same in every
// language, in fixed 255-byte slots.
inline constexpr int kUpdateFontNameCount = 4;
inline constexpr char kUpdateFontNames[kUpdateFontNameCount][255] = {
    "Velmora角ゴ Std/StdN W9",
    "Velmora丸ゴ Std/StdN W6",
    "Velmora行書 StdN W8",
    "Kestruneゴシック StdN W3",
};

// A percentage as the progress window shows it: "37 %".
inline QString percentText(int percent) { return QStringLiteral("%1 %").arg(percent); }

}  // namespace wizard
