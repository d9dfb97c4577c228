#pragma once
// The revision's nine progress points, in the order one font reports them.

#include "patch/RevisionCodes.h"

#include <array>
#include <cstdint>

namespace testsupport {

inline constexpr std::array<std::int32_t, 9> kAllSteps = {
    fr::step::kOpenFont,     fr::step::kReadFont, fr::step::kTablesRead,  fr::step::kOpenPatch,    fr::step::kPatchLoaded,
    fr::step::kSerialNumber, fr::step::kChecksum, fr::step::kWriteImage, fr::step::kCopyIntoPlace};

}  // namespace testsupport
