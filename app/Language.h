#pragma once
// The program speaks the language of the desktop's locale (QLocale(): LC_ALL, LC_MESSAGES,
// LANG): Japanese for a Japanese locale, English otherwise. Installed once the application
// object exists, before any window is made.

namespace wizard {

void installLanguage();

}  // namespace wizard
