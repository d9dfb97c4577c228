#pragma once
// The progress of one font's revision: the one object that carries the callback, its context
// and the font's place in the run down through the driver, the assembly and its stages. The
// engine reports values (the step, the font, the file the step is about); whoever shows them
// words them.

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

    // Reports `step`, about the file named `fileName` (empty where the step names none); true
    // means the user confirmed a cancel.
    bool report(std::int32_t step, const QString& fileName) const;
};

// 0x80000 as "8.0", 0x10083 as "1.002": a 'head' fontRevision (16.16 fixed point) as people
// read it.
QString revisionText(std::uint64_t fontRevision);

}  // namespace fr
