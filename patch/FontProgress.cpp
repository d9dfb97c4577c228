#include "patch/FontProgress.h"

namespace fr {

bool FontProgress::report(std::int32_t step, const QString& fileName) const {
    if (proc == nullptr) return false;
    // A count below one would divide by zero; the wizard always passes at least one.
    const std::int32_t n = count < 1 ? 1 : count;
    return proc(overallPercent(step, n, index), step, path, fileName, context);
}

QString revisionText(std::uint64_t fontRevision) {
    QString text = QString::number(static_cast<double>(fontRevision) / 65536.0, 'f', 3);
    while (text.endsWith(u'0') && !text.endsWith(QLatin1String(".0"))) text.chop(1);
    return text;
}

}  // namespace fr
