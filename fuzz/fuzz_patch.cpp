// The patch check and load: any bytes, as a patch file. A loaded patch holds its header and
// every record, each instruction's data lies inside the file, and it holds no more
// instructions than its bytes can carry (no two records share a block).

#include "PatchMutator.h"

#include "patch/MakeSabunData.h"

#include <cstring>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    if (seed % 3 != 0) return LLVMFuzzerMutate(data, size, maxSize);
    fuzzing::Bytes patch(data, data + size);
    if (!fuzzing::mutatePatch(patch, seed) || patch.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, patch.data(), patch.size());
    return patch.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::Bytes bytes(data, data + size);
    fr::MakeSabunData patch;
    if (!patch.loadSabunBytes(bytes)) return 0;
    const fr::_UPDATE_HEADER header = patch.getUpdateHeader();
    if (size < 53 + 18 * std::size_t{header.tagNum}) fuzzing::finding("a patch loaded without all its records");
    if (std::memcmp(header.font_header, data, 4) != 0) fuzzing::finding("the header is not the file's");
    std::size_t records = 0, instructions = 0;
    for (std::int32_t slot = 0; slot < 256; ++slot) {
        const fr::SabunTagObject* record = patch.getSabunTagTableNum(slot);
        if (!record) continue;
        ++records;
        instructions += static_cast<std::size_t>(record->getOldCopyArraySize() + record->getNewCopyArraySize());
        if (static_cast<std::uint64_t>(record->getOldCopyArraySize() + record->getNewCopyArraySize()) >
            record->getUpdateTagTable().up_datalength)
            fuzzing::finding("more instructions than the new table has bytes");
        for (std::int32_t i = 0; i < record->getNewCopyArraySize(); ++i) {
            const fr::NewTagObject added = *record->getNewTagObject(i);
            // The data is a copy of bytes that lie inside the file.
            const std::uint32_t length = added.getNewStructFont().length;
            if (length > size) fuzzing::finding("new data longer than the file");
            volatile std::uint8_t touch = 0;
            for (std::uint32_t k = 0; k < length; ++k) touch = touch ^ added.getData()[k];
        }
    }
    if (records > header.tagNum) fuzzing::finding("more records than the header counts");
    if (instructions > size / 8) fuzzing::finding("more instructions than the file's bytes can carry");
    return 0;
}
