// A "host" folder's manifest and its signature from the fuzzer, read as the search reads them
// with the key kept for tests. Whatever the bytes, the reading ends in one state with a reason, and
// entries come only from a manifest that verified, exactly the ones its text gives.

#include "FuzzSupport.h"
#include "MemoryFiles.h"

#include "patch/PatchManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [manifest, signature] = fuzzing::split(data, size);
    QString why;
    const auto parsed = fr::parseManifest(manifest, why);
    (void)fr::verifyMinisign(manifest, signature, QStringLiteral(FR_FUZZ_KEY), why);

    fuzzing::MemoryFiles files;
    files.files[QStringLiteral("/host/patches.manifest")] = manifest;
    files.files[QStringLiteral("/host/patches.manifest.minisig")] = signature;
    const fr::ManifestReading reading = fr::readManifest(files, QStringLiteral("/host"), QStringLiteral(FR_FUZZ_KEY));
    using State = fr::ManifestReading::State;
    if (reading.state == State::Absent) fuzzing::finding("a manifest that is there read as absent");
    if (reading.state != State::Verified && (reading.detail.isEmpty() || !reading.entries.empty()))
        fuzzing::finding("a manifest refused without a reason, or with entries");
    if (reading.state == State::Verified && (!parsed || parsed->size() != reading.entries.size()))
        fuzzing::finding("a verified manifest whose entries are not its text's");
    return 0;
}
