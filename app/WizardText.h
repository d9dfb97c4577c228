#pragma once
// The wizard's own texts: English here, Japanese in translations/font-reviser_ja.ts, where each
// is the product's text byte for byte. "\n" is a line break; a button's name stands between
// typographic quotes.

#include <QCoreApplication>
#include <QString>

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
    // The end window's message after every font was revised.
    static QString revisionSucceeded();
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
