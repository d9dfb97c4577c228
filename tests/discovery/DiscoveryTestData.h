#pragma once
// Installed fonts and patch files as the discovery tests lay them out in a scratch tree.

#include "support/FakePlatform.h"
#include "support/FontBytes.h"

#include <QString>

#include <string>

namespace discoverytest {

// The program lies at /Applications/Reviser/reviser, so its patches are in this folder.
inline const QString kHost = QStringLiteral("/Applications/Reviser/host");

inline const QString kStdNW9 = QStringLiteral(u"Velmora角ゴ StdN W9");
inline const std::string kStdNW9FullName = "VelmoraKakuGothicStdN-W9";

inline void writePatch(const testsupport::TestPlatform& tp, const QString& name, const std::string& fontName,
                       std::uint32_t version = 0x00080000) {
    testsupport::PatchLayout layout;
    layout.fontName = fontName;
    layout.fontVersion = version;
    tp.writeFile(kHost + QLatin1Char('/') + name, testsupport::buildPatch(layout));
}

inline testsupport::Bytes fontBytes(std::uint32_t revision, const std::string& fullName) {
    using namespace testsupport;
    return buildSfnt(
        {{"CFF ", Bytes(8, 0)}, {"head", headTable(revision)}, {"name", nameTable({{1, 0, 0, 4, bytesOf(fullName)}})}});
}

// The one revisable font most tests look for, and its patch.
inline void writeStdNW9Patch(const testsupport::TestPlatform& tp) {
    writePatch(tp, kStdNW9 + QStringLiteral(".pa"), kStdNW9FullName);
}
inline void writeStdNW9Font(const testsupport::TestPlatform& tp, const QString& folder,
                            std::uint32_t revision = 0x00080000) {
    tp.writeFile(folder + QLatin1Char('/') + kStdNW9 + QStringLiteral(".otf"), fontBytes(revision, kStdNW9FullName));
}

}  // namespace discoverytest
