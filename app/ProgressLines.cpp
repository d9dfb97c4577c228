#include "app/ProgressLines.h"

#include "patch/RevisionCodes.h"

namespace wizard {

ProgressLines progressLines(std::int32_t step, const QString& fontPath, const QString& fileName) {
    namespace step_ = fr::step;
    QString line2;
    switch (step) {
    case step_::kOpenFont:
    case step_::kOpenPatch:
        line2 = ProgressText::tr("Opening the file %1.").arg(fileName);
        break;
    case step_::kReadFont:
    case step_::kPatchLoaded:
        line2 = ProgressText::tr("Reading the file %1.").arg(fileName);
        break;
    case step_::kTablesRead:
        line2 = ProgressText::tr("The tables have been read.");
        break;
    case step_::kSerialNumber:
        line2 = ProgressText::tr("Writing the serial number into the file %1.").arg(fileName);
        break;
    case step_::kChecksum:
        line2 = ProgressText::tr("Recomputing the checksums of the file %1.").arg(fileName);
        break;
    case step_::kWriteImage:
        line2 = ProgressText::tr("Writing the file %1.").arg(fileName);
        break;
    case step_::kCopyIntoPlace:
        line2 = ProgressText::tr("Copying the file %1 from the temporary folder.").arg(fileName);
        break;
    default:
        line2 = fileName;
        break;
    }
    return {ProgressText::tr("Revising %1.").arg(fontPath), line2};
}

}  // namespace wizard
