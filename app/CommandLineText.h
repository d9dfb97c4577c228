#pragma once
// The command line's own texts (those the wizard has no window for) are English in the code
// and Japanese in translations/font-reviser_ja.ts; the program speaks the locale's language
// (Language.h).

#include <QCoreApplication>

namespace wizard {

struct CommandLineText {
    Q_DECLARE_TR_FUNCTIONS(CommandLineText)
};

}  // namespace wizard
