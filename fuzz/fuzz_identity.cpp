// The identity checks of one font against one source: a font passes only when it begins
// "OTTO" and holds the fontRevision the source's face expects.

#include "FuzzSupport.h"

#include "patch/IdentityChecks.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fr::SourceEntry source = [] {
        fr::SourceEntry s;
        s.fullpath = QStringLiteral("/host/Velmora角ゴ StdN W9.pa");
        s.fontfile = QStringLiteral("Velmora角ゴ StdN W9.otf");
        s.fontname = QStringLiteral("Velmora角ゴ StdN W9");
        return s;
    }();
    const platform::BytesInMemory font(std::vector<std::uint8_t>(data, data + size));
    std::uint64_t revision = 0;
    if (!fr::identity::checkOpenTypeVersion(font, source, revision)) return 0;
    if (size < 12 || std::memcmp(data, "OTTO", 4) != 0) fuzzing::finding("a target that is no CFF OpenType font");
    if (revision != 0x00080000) fuzzing::finding("a target of another revision");
    return 0;
}
