#pragma once
// File names on Linux are bytes, not text. The program holds paths as QString, so a name is
// decoded losslessly: valid UTF-8 becomes its text, and every byte of an invalid sequence
// becomes a lone surrogate U+DC80..U+DCFF that encoding turns back into that very byte. A
// path taken from a listing therefore opens the same file, whatever bytes its name holds.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

QString decodeNativePath(QByteArrayView bytes);
QByteArray encodeNativePath(QStringView path);

}  // namespace platform
