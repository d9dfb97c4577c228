// A whole revision of one font held in memory: the font's bytes and the patch's from the
// fuzzer, through the real driver over files held in memory. A revision that ends 0 leaves
// a well-formed font in place (checksums, layout, the whole-font sum) and nothing else; any
// other end leaves the installed font as it was and nothing else.

#include "MemoryFiles.h"
#include "PatchMutator.h"

#include "patch/OpenTypeManager.h"
#include "patch/SourceLookup.h"
#include "platform/NativePath.h"

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
    explicit OnePatch(const fuzzing::Bytes& patch) {
        fr::SourceEntry listed{kPatch, {}, {}, 0};
        if (patch.size() >= 40) {
            listed.fontname = platform::decodeZeroTerminatedUtf8(std::span(patch).subspan(4, 32));
            listed.version = fuzzing::be32(patch, 36);
        }
        source = std::make_shared<fr::SourceEntry>(listed);
    }
    fr::SourceEntryPtr sourceForTarget(const QString&, std::uint64_t) const override { return source; }
    bool stillTarget(const platform::ReadableBytes&, const QString&, std::uint32_t) const override { return true; }
};

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    if (seed % 2 != 0) return LLVMFuzzerMutate(data, size, maxSize);
    auto [font, patch] = fuzzing::split(data, size);
    if (!fuzzing::mutatePatch(patch, seed)) return LLVMFuzzerMutate(data, size, maxSize);
    const fuzzing::Bytes joined = fuzzing::join(font, patch);
    if (joined.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, joined.data(), joined.size());
    return joined.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [font, patch] = fuzzing::split(data, size);
    fuzzing::MemoryFiles files;
    files.files[kFont] = font;
    files.files[kPatch] = patch;
    NoPauses pauses;
    fr::OpenTypeManager m(files, pauses);
    const std::int32_t code =
        m.updateOpenTypeDiff(fr::TargetEntry{kFont, 0x00080000}, nullptr, nullptr, 1, 0, OnePatch(patch));
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
    return 0;
}
