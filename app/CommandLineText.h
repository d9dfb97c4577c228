#pragma once
// The command line's own texts are English in the code and Japanese in
// translations/font-reviser_ja.ts, shown in the language the locale chooses (see
// installCommandLineLanguage). The wizard's texts (Messages.h) are not among them: it speaks
// Japanese whatever the locale.

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace wizard {

struct CommandLineText {
    Q_DECLARE_TR_FUNCTIONS(CommandLineText)
};

// Chooses the command line's language from LC_ALL, LC_MESSAGES and LANG (the first that is
// set): Japanese for a "ja" locale, English otherwise. Called once the application exists.
void installCommandLineLanguage();
// Whether that choice was Japanese.
bool commandLineIsJapanese();

// The message that ends a font's revision with `code` on the command line (`fullpath`: the
// font being revised); where it can't be replaced, what to do on Linux.
QString resultText(std::int32_t code, const QString& fullpath);
QString stoppedText();

}  // namespace wizard
