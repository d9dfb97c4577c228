#pragma once
// The revision a font would become, read off its patch without building the font: the patch's
// 'head' record applied to the installed 'head' alone, by the same instructions a revision
// runs.

#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "platform/Files.h"

#include <cstdint>
#include <optional>

namespace fr {

// The new font's 'head' fontRevision; nothing (and why) where the font or the patch can't
// make one.
std::optional<std::uint32_t> revisionAfterPatch(const platform::Files& files, const QString& fontPath,
                                                const SourceEntry& source, Reason* why = nullptr);

}  // namespace fr
