#include "patch/InPlaceReplacement.h"

#include "patch/RevisionCodes.h"
#include "patch/RevisionDriver.h"

namespace fr {

namespace {
constexpr std::uint32_t kFileTypeSfnt = 0x73666E74;     // "sfnt"
constexpr std::uint32_t kFileCreatorATMC = 0x41544D43;  // "ATMC"

// A file of ours beside the installed font: the new copy until it trades places with the old
// font, then the old font under the copy's name. Removed on every way out, which the caller
// asks for with done().
class BesideFont {
public:
    BesideFont(platform::Files& files, QString path) : m_files(files), m_path(std::move(path)) {}
    ~BesideFont() {
        if (!m_done) m_files.remove(m_path);
    }
    BesideFont(const BesideFont&) = delete;
    BesideFont& operator=(const BesideFont&) = delete;
    const QString& path() const { return m_path; }
    // Nothing of ours stands under the name any more, or what does must stay.
    void gone() { m_done = true; }
    // Removes what stands under the name; false when it stays.
    bool done() {
        if (m_done) return true;
        m_done = true;
        return m_files.remove(m_path);
    }

private:
    platform::Files& m_files;
    QString m_path;
    bool m_done = false;
};
}  // namespace

InPlaceReplacement::InPlaceReplacement(platform::Files& files, platform::Pauses& pauses, QString temporary,
                                       QString installed, Source source)
    : m_files(files),
      m_pauses(pauses),
      m_temporary(std::move(temporary)),
      m_installed(std::move(installed)),
      m_source(source) {}

InPlaceReplacement::~InPlaceReplacement() {
    if (!m_finished && !m_temporary.isEmpty() && m_source == Source::Temporary) m_files.remove(m_temporary);
}

std::int32_t InPlaceReplacement::failed(std::int32_t code, const QString& file, const char* id, const QString& detail,
                                        Reason& why) {
    why = {QString::fromLatin1(id), file + QStringLiteral(": ") + detail};
    return code;
}

std::int32_t InPlaceReplacement::checkReplaceable(Reason& why) {
    m_permissions = m_files.permissions(m_installed);
    if (!m_permissions)
        return failed(result::kNewFileFailed, m_installed, "permissions-unknown",
                      QStringLiteral("its permissions can't be read"), why);
    if (const auto removal = m_files.removal(m_installed); removal != platform::Files::Removal::Allowed) {
        why = whyNotReplaceable(m_installed, removal);
        return result::kNotReplaceable;
    }
    return result::kRevised;
}

std::int32_t InPlaceReplacement::replace(const WrittenImage& written, Reason& why) {
    const auto holdsImage = [&](const QString& path) { return fileHoldsImage(m_files, path, written); };
    m_pauses.pause(200);
    const std::optional<QString> copied = m_files.copyBeside(m_temporary, m_installed);
    if (!copied)
        return failed(result::kCopyFailed, m_installed, "copy-beside",
                      QStringLiteral("the new font could not be copied into its folder (disk full?)"), why);
    BesideFont staged(m_files, *copied);
    const auto end = [&](std::int32_t code) {
        if (staged.done()) return code;
        return failed(result::kTempNotRemovable, staged.path(), "staged-not-removable",
                      QStringLiteral("the new copy beside the font can't be removed"), why);
    };
    m_pauses.pause(100);

    if (!holdsImage(staged.path()))
        return end(failed(result::kNewFileFailed, staged.path(), "copy-check",
                          QStringLiteral("the copy beside the font is not the new font as built"), why));
    const auto attributes = [&] {
        return end(failed(result::kNewFileFailed, staged.path(), "attributes",
                          QStringLiteral("the new copy can't be given the font's permissions and attributes"), why));
    };
    if (!m_files.setTypeAndCreator(staged.path(), kFileTypeSfnt, kFileCreatorATMC)) return attributes();
    m_pauses.pause(100);
    if (!m_files.setPermissions(staged.path(), *m_permissions)) return attributes();
    m_pauses.pause(100);

    const std::optional<QString> kept = m_files.replaceKeepingOld(staged.path(), m_installed);
    if (!kept)
        return end(failed(result::kCopyFailed, m_installed, "exchange",
                          QStringLiteral("the new font could not be put in place of the old one"), why));
    // The old font now stands under the staged name, or under `kept` where the file system
    // could not trade places.
    staged.gone();
    BesideFont old(m_files, *kept);

    // The file in place is checked once more; should it not be the image, the old font comes
    // back. Should even that fail, it stays under our name, never removed: a later run that
    // can prove which one to keep puts it back or removes it.
    if (!holdsImage(m_installed)) {
        const bool back = m_files.rename(*kept, m_installed);
        old.gone();
        return failed(result::kNewFileFailed, m_installed, "in-place-check",
                      back ? QStringLiteral("the file in place was not the new font as built; the old font is back")
                           : QStringLiteral("the file in place was not the new font as built; the old font stays "
                                            "beside it as %1 until a run proves which one to keep")
                                 .arg(*kept),
                      why);
    }
    if (old.done()) return result::kRevised;
    return failed(result::kTempNotRemovable, *kept, "old-not-removable",
                  QStringLiteral("the old font kept beside the new one can't be removed"), why);
}

std::int32_t InPlaceReplacement::finish(std::int32_t code, Reason& why) {
    m_finished = true;
    if (m_temporary.isEmpty() || m_source == Source::Kept) return code;  // none was made, or it is not ours
    if (m_files.isDeletable(m_temporary) && m_files.remove(m_temporary)) return code;
    return failed(result::kTempNotRemovable, m_temporary, "temp-not-removable",
                  QStringLiteral("the temporary file can't be removed"), why);
}

}  // namespace fr
