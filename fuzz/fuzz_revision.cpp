// A whole revision of one font held in memory: the font's bytes, the patch's and a manifest's
// text from the fuzzer, through the real driver over files held in memory. A revision that
// ends 0 leaves a well-formed font in place (checksums, layout, the whole-font sum) and nothing
// else, and where the manifest gives an entry, the tables it lists before and after; any other
// end leaves the installed font as it was and nothing else.

#include "MemoryFiles.h"
#include "PatchMutator.h"

#include "fonttables/TableDigest.h"
#include "patch/OpenTypeManager.h"
#include "patch/PatchManifest.h"
#include "patch/SourceLookup.h"
#include "platform/NativePath.h"

#include <algorithm>
#include <cstring>

namespace {

const QString kFont = QStringLiteral("/Fonts/Velmora角ゴ StdN W9.otf");
const QString kPatch = QStringLiteral("/host/Velmora角ゴ StdN W9.pa");

struct NoPauses : platform::Pauses {
    void pause(int) override {}
};

// The patch for the font, whatever the font is, listed with the name and version its header
// carries: the driver's own checks are what is fuzzed.
struct OnePatch : fr::SourceLookup {
    fr::SourceEntryPtr source;
    OnePatch(const fuzzing::Bytes& patch, std::shared_ptr<const fr::ManifestEntry> entry) {
        fr::SourceEntry listed{kPatch, {}, {}, 0, std::move(entry)};
        if (patch.size() >= 40) {
            listed.fontname = platform::decodeZeroTerminatedUtf8(std::span(patch).subspan(4, 32));
            listed.version = fuzzing::be32(patch, 36);
        }
        source = std::make_shared<fr::SourceEntry>(listed);
    }
    fr::SourceEntryPtr sourceForTarget(const QString&, std::uint64_t) const override { return source; }
    bool stillTarget(const platform::ReadableBytes&, const QString&, std::uint32_t) const override { return true; }
    fr::SourceEntryPtr sourceForInstalledName(const QString&) const override { return source; }
    bool searchFinds(const QString&) const override { return true; }
};

// The manifest's first entry, whatever patch it names (the signature is not what is fuzzed
// here), or none.
std::shared_ptr<const fr::ManifestEntry> firstEntry(const fuzzing::Bytes& text) {
    QString why;
    const auto entries = fr::parseManifest(text, why);
    return entries && !entries->empty() ? entries->front() : nullptr;
}

// The digest of every table of a font but those no revision lists; nothing for a font whose
// directory or tables lie outside it.
fr::ManifestEntry::Tables digestsOf(const fuzzing::Bytes& font) {
    fr::ManifestEntry::Tables tables;
    const std::size_t n = font.size() < 12 ? 0 : fuzzing::be16(font, 4);
    if (12 + 16 * n > font.size()) return {};
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = 12 + 16 * i, offset = fuzzing::be32(font, at + 8), length = fuzzing::be32(font, at + 12);
        if (offset > font.size() || length > font.size() - offset) return {};
        const fr::Tag tag(std::span<const std::uint8_t, 4>(font.data() + at, 4));
        if (fr::isDigested(tag))
            tables.emplace_back(tag, fr::tableDigest(tag, std::span(font).subspan(offset, length)));
    }
    return tables;
}

// Its own comparison, independent of the engine's.
bool sameInAnyOrder(fr::ManifestEntry::Tables a, fr::ManifestEntry::Tables b) {
    const auto byTag = [](const auto& x, const auto& y) { return x.first.bytes() < y.first.bytes(); };
    std::sort(a.begin(), a.end(), byTag);
    std::sort(b.begin(), b.end(), byTag);
    return a == b;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    if (seed % 2 != 0) return LLVMFuzzerMutate(data, size, maxSize);
    auto [font, rest] = fuzzing::split(data, size);
    auto [patch, manifest] = fuzzing::split(rest.data(), rest.size());
    if (!fuzzing::mutatePatch(patch, seed)) return LLVMFuzzerMutate(data, size, maxSize);
    const fuzzing::Bytes joined = fuzzing::join(font, fuzzing::join(patch, manifest));
    if (joined.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, joined.data(), joined.size());
    return joined.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [font, rest] = fuzzing::split(data, size);
    const auto [patch, manifest] = fuzzing::split(rest.data(), rest.size());
    const auto entry = firstEntry(manifest);
    fuzzing::MemoryFiles files;
    files.files[kFont] = font;
    files.files[kPatch] = patch;
    NoPauses pauses;
    fr::OpenTypeManager m(files, pauses);
    const std::int32_t code =
        m.updateOpenTypeDiff(fr::TargetEntry{kFont, 0x00080000}, nullptr, nullptr, 1, 0, OnePatch(patch, entry));
    if (files.files.size() != 2 || files.files.count(kFont) == 0 || files.files.count(kPatch) == 0)
        fuzzing::finding("a revision left a file behind or lost one");
    if (files.files[kPatch] != patch) fuzzing::finding("the patch changed");
    if (code != fr::result::kRevised) {
        if (files.files[kFont] != font) fuzzing::finding("a failed revision changed the installed font");
        return 0;
    }
    const fuzzing::Bytes& revised = files.files[kFont];
    if (!fuzzing::wellFormedFont(revised)) fuzzing::finding("a revised font that is not well formed");
    if (font.size() < 12 || std::memcmp(revised.data(), font.data(), 12) != 0)
        fuzzing::finding("the offset table is not the installed font's");
    if (entry &&
        (!sameInAnyOrder(digestsOf(font), entry->oldTables) || !sameInAnyOrder(digestsOf(revised), entry->newTables)))
        fuzzing::finding("a revision under a manifest that is not the one it lists");
    return 0;
}
