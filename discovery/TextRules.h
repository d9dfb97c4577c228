#pragma once
// The text rules of font discovery: normalization, word tests that treat canonically
// equivalent spellings as equal, path joining and splitting.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace fr::text {

// Unicode Normalization Form KC (compatibility composed): how file names are compared.
QString formKC(const QString& s);
// Unicode Normalization Form C (canonical composed): the form the word tests compare in.
QString formC(const QString& s);

// True when every code unit is ASCII (so both normal forms leave the text as it is).
bool isAscii(const QString& s);

// True when a name (in Form C) carries one of the family words, "Velmora" or "Kestrune".
bool hasFamilyWord(const QString& nameC);

// Folder and name with one "/" between; a folder that already ends in "/" (the root) gets
// none, so the root joined with N is "/N".
QString joinPath(const QString& folder, const QString& name);

// Length as the walk counts it: UTF-16 code units.
inline qsizetype utf16Length(const QString& s) { return s.size(); }

// Parts of a path split at every "/": "/" gives 2, "/Library/Fonts" 3.
qsizetype pathPartCount(const QString& path);

}  // namespace fr::text
