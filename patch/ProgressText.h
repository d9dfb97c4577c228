#pragma once
// The texts and the arithmetic of the revision's progress points, shared by the driver, the
// assembly, the name carry-over and the checksum step.

#include "fonttables/FontTypes.h"

#include <QString>

#include <cstdint>

namespace fr::progress {

// Line 1 of every point: the installed font's whole path.
QString revisingLine(const QString& fontPath);  // "%@の改訂をしています。"
// Line 2 of the points, each with a file name.
QString openingLine(const QString& name);       // steps 10 and 40
QString readingLine(const QString& name);       // steps 20 and 55
QString tagsReadLine();                         // step 30
QString serialNumberLine(const QString& name);  // step 65
QString checksumLine(const QString& name);      // step 75
QString writingLine(const QString& name);       // step 90
QString copyingLine(const QString& name);       // step 100

// A text with its one "%@" replaced by `value` (the program's format texts).
QString insertText(QStringView format, const QString& value);

// Calls `proc` (when there is one) for step `step` of target `index` among `count`; true
// means the user confirmed a cancel.
bool report(RevisionProgressProc proc, void* context, std::int32_t step, std::int32_t count, std::int32_t index,
            const QString& fontPath, const QString& line2);

}  // namespace fr::progress
