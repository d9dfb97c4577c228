#pragma once
// The key kept for tests and samples only (its secret key lies beside it): the key the tests
// hand the program where a vendor's build would have its own built in.

#include <QFile>
#include <QString>

namespace testsupport {

inline QString testKey() {
    QFile file(QStringLiteral(FR_SOURCE_DIR "/tests/keys/test-only-signing.pub"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    return lines.size() == 2 ? QString::fromLatin1(lines[1].trimmed()) : QString();
}
inline const char* const kTestKeyFile = FR_SOURCE_DIR "/tests/keys/test-only-signing.pub";

}  // namespace testsupport
