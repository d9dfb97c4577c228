#pragma once
// The one message for each result code that ends a font's revision, as the wizard shows it
// and the command line prints it: English here, Japanese in the translation.

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace wizard {

struct ResultText {
    Q_DECLARE_TR_FUNCTIONS(ResultText)
};

// `fullpath` is the target that was being revised when the run stopped.
QString resultMessage(std::int32_t code, const QString& fullpath);

}  // namespace wizard
