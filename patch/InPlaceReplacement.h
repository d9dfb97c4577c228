#pragma once
// The new font put in place of the installed one, safely: copied beside it, checked and given
// its attributes there, then traded places with it in one step, checked once more in place,
// and only then is the old font let go. Until the exchange the installed font is untouched; a
// failure after it brings the old font back, and should even that fail, the old font stays
// beside it under our name, never removed. The temporary file and the copy beside the font
// are removed on every way out; where one stays, the revision ends with 12.

#include "fonttables/Reason.h"
#include "patch/Integrity.h"
#include "platform/Files.h"
#include "platform/Pauses.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace fr {

class InPlaceReplacement {
public:
    // Whose the file put in place is: the assembly's temporary file, removed at the end, or
    // a file kept elsewhere (an undo's backup), which stays.
    enum class Source { Temporary, Kept };
    // `temporary` holds the new font as the assembly wrote it (empty: nothing was written, as
    // in a dry run); `installed` is the file it replaces. The services outlive it.
    InPlaceReplacement(platform::Files& files, platform::Pauses& pauses, QString temporary, QString installed,
                       Source source = Source::Temporary);
    ~InPlaceReplacement();
    InPlaceReplacement(const InPlaceReplacement&) = delete;
    InPlaceReplacement& operator=(const InPlaceReplacement&) = delete;

    // Whether this user may replace the installed file, its permissions read: 0, or 8 or 10
    // with why.
    std::int32_t checkReplaceable(Reason& why);
    // The replacement itself, once checkReplaceable has given 0: 0, 8, 11 or 12 with why.
    std::int32_t replace(const WrittenImage& written, Reason& why);
    // The end of the revision with `code`: the temporary file removed, and `code`; or 12 (and
    // why) where it stays.
    std::int32_t finish(std::int32_t code, Reason& why);

private:
    std::int32_t failed(std::int32_t code, const QString& file, const char* id, const QString& detail, Reason& why);

    platform::Files& m_files;
    platform::Pauses& m_pauses;
    QString m_temporary;
    QString m_installed;
    Source m_source;
    std::optional<std::uint32_t> m_permissions;
    bool m_finished = false;
};

}  // namespace fr
