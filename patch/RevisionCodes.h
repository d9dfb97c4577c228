#pragma once
// What the revision of one font ends with, the points at which it reports its progress, and
// the callback it reports them through.

#include <QString>

#include <cstdint>

namespace fr {

// Revision result codes: what a revision and each of its stages end with. The numbers are
// the command line's exit statuses and pick the wizard's messages; they never change.
namespace result {
constexpr std::int32_t kRevised = 0;            // the font was revised
constexpr std::int32_t kFontUnusable = 2;       // the installed font or the data for it is unusable
constexpr std::int32_t kCancelled = 6;          // the user stopped the revision
constexpr std::int32_t kPatchLoadFailed = 7;    // the patch failed to load
constexpr std::int32_t kNewFileFailed = 8;      // the new file not made, or not as built
constexpr std::int32_t kNotReplaceable = 10;    // the installed file may not be replaced
constexpr std::int32_t kCopyFailed = 11;        // putting the new file in place failed
constexpr std::int32_t kTempNotRemovable = 12;  // the temporary file may not be removed
// No stage ends with these; the wizard names them as failures to make the new file.
constexpr std::int32_t kNewFileFailedAlso3 = 3;
constexpr std::int32_t kNewFileFailedAlso9 = 9;
}  // namespace result

// The revision's progress points: the current font's percentage at each stage.
namespace step {
constexpr std::int32_t kOpenFont = 10;        // opening the installed font
constexpr std::int32_t kReadFont = 20;        // reading it
constexpr std::int32_t kTablesRead = 30;      // its tables have been read
constexpr std::int32_t kOpenPatch = 40;       // opening the patch
constexpr std::int32_t kPatchLoaded = 55;     // the patch has been loaded
constexpr std::int32_t kSerialNumber = 65;    // writing the carried-over name strings
constexpr std::int32_t kChecksum = 75;        // recomputing the checksums
constexpr std::int32_t kWriteImage = 90;      // writing the new font image
constexpr std::int32_t kCopyIntoPlace = 100;  // putting the new file in place
}  // namespace step

// Called on the revision worker at each progress point: overall and step percentages, the
// installed font's path (what the first progress line names), the name of the file the step is
// about (what the second names; empty at the point that names none), the caller's context.
// True means the user confirmed a cancel.
using RevisionProgressProc = bool (*)(std::int32_t overall, std::int32_t step, const QString& fontPath,
                                      const QString& fileName, void* context);

// The overall percentage of a progress point: step S of target i among n.
constexpr std::int32_t overallPercent(std::int32_t step, std::int32_t count, std::int32_t index) {
    return step / count + index * 100 / count;
}

}  // namespace fr
