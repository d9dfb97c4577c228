#pragma once
// The two progress lines of a progress point, worded from what the engine reports: the font
// being revised, and the step with the file it is about.

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace wizard {

struct ProgressText {
    Q_DECLARE_TR_FUNCTIONS(ProgressText)
};

struct ProgressLines {
    QString line1;  // which font
    QString line2;  // which step
};
ProgressLines progressLines(std::int32_t step, const QString& fontPath, const QString& fileName);

}  // namespace wizard
