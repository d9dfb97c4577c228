#pragma once
// The message that ends a revision run for each result code, as the wizard shows it and the
// command line prints it.

#include <QString>

#include <cstdint>

namespace wizard {

// `fullpath` is the target that was being revised when the run stopped.
QString resultMessage(std::int32_t code, const QString& fullpath);

}  // namespace wizard
