#include "app/ResultMessages.h"

#include "app/Messages.h"
#include "patch/ProgressText.h"
#include "patch/RevisionCodes.h"
#include "platform/PathText.h"

namespace wizard {

QString resultMessage(std::int32_t code, const QString& fullpath) {
    namespace result = fr::result;
    const QString fileName = platform::lastPathComponent(fullpath);
    switch (code) {
    case result::kFontUnusable:
        return fr::progress::insertText(QString::fromUtf8(kSourceReadFailed), fullpath);
    case result::kNewFileFailedAlso3:
    case result::kNewFileFailed:
    case result::kNewFileFailedAlso9:
    case result::kCopyFailed:
    case result::kTempNotRemovable:
        return fr::progress::insertText(QString::fromUtf8(kNewFileFailed), fileName);
    case result::kPatchLoadFailed:
        return fileName + QString::fromUtf8(kPatchReadFailed);
    case result::kNotReplaceable:
        return fr::progress::insertText(QString::fromUtf8(kNotReplaceable), fullpath);
    default:
        // 1, 4, 5, the cancel, every code above 12 and every negative one.
        return QString::fromUtf8(kRevisionStopped);
    }
}

}  // namespace wizard
