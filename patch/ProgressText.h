#pragma once
// The progress of one font's revision: the texts of its progress points, and the one object
// that carries the callback, its context and the font's place in the run down through the
// driver, the assembly and its stages.

#include "patch/RevisionCodes.h"

#include <QString>

#include <cstdint>

namespace fr {

// Where the revision of one font reports, and which font of the run it is.
struct FontProgress {
    RevisionProgressProc proc = nullptr;  // none: nothing is reported and nothing cancels
    void* context = nullptr;
    std::int32_t count = 1;  // fonts in the run
    std::int32_t index = 0;  // this one's place among them, from 0
    QString path;            // the installed font's, as the target lists it

    // Reports `step` with `line2` under the line naming the font; true means the user
    // confirmed a cancel.
    bool report(std::int32_t step, const QString& line2) const;
};

// 0x80000 as "8.0", 0x10083 as "1.002": a 'head' fontRevision (16.16 fixed point) as people
// read it.
QString revisionText(std::uint64_t fontRevision);

namespace progress {

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

}  // namespace progress
}  // namespace fr
