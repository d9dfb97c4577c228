#include "app/ResultMessages.h"

#include "patch/RevisionCodes.h"
#include "platform/PathText.h"

namespace wizard {

QString resultMessage(std::int32_t code, const QString& fullpath) {
    namespace result = fr::result;
    const QString fileName = platform::lastPathComponent(fullpath);
    switch (code) {
    case result::kFontUnusable:
        return ResultText::tr("Reading the font to revise (%1) failed.\n\n"
                              "The font was not updated correctly: run the update again.")
            .arg(fullpath);
    case result::kNewFileFailedAlso3:
    case result::kNewFileFailed:
    case result::kNewFileFailedAlso9:
    case result::kCopyFailed:
    case result::kTempNotRemovable:
        return ResultText::tr("Making the new font file (%1) failed.\n\n"
                              "The font was not updated correctly: run the update again.")
            .arg(fileName);
    case result::kPatchLoadFailed:
        // The file name comes first in the Japanese text, before its own words.
        return ResultText::tr("Reading the patch file for %1 failed.\n\n"
                              "The font was not updated correctly: run the update again.")
            .arg(fileName);
    case result::kNotReplaceable:
        return ResultText::tr("The font (%1) can't be updated: the access rights differ in this environment.\n\n"
                              "For a font managed by another system, start that system and run the update there.")
            .arg(fullpath);
    default:
        // 1, 4, 5, the cancel, every code above 12 and every negative one.
        return ResultText::tr("The revision of the OpenType Velmora fonts was stopped.");
    }
}

}  // namespace wizard
