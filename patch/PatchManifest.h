#pragma once
// The signed list of the patches a vendor shipped in a "host" folder. For each patch file it
// gives the file's SHA-256, and a digest of every table (see tableDigest) of the font revision
// the patch applies to and of the revision it makes. It lies beside the patches as a text file
// with its signature in minisign's own format, so a vendor signs it with `minisign -S` and an
// administrator checks it with `minisign -V`:
//
//   font-reviser patch manifest 1
//   patch <the patch file's name>
//   sha256 <64 hexadecimal digits>
//   old '<tag>' <32 hexadecimal digits>     one line a table of the installed revision
//   new '<tag>' <32 hexadecimal digits>     one line a table of the new revision
//   patch ...
//
// Blank lines and lines beginning with '#' are passed over; anything else makes the whole
// manifest malformed.

#include "fonttables/Digest.h"
#include "fonttables/Tag.h"
#include "platform/Files.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fr {

Sha256 sha256Of(std::span<const std::uint8_t> bytes);

struct ManifestEntry {
    using Tables = std::vector<std::pair<Tag, Digest128>>;
    QString patch;  // the patch file's name, as the manifest spells it
    Sha256 sha256;
    Tables oldTables, newTables;
};

// What reading a "host" folder's manifest came to.
struct ManifestReading {
    enum class State {
        Absent,              // neither the manifest nor its signature: the patches are not verified
        NoTrustedKey,        // a manifest, but this build trusts no key: checked by nothing, as if absent
        Verified,            // signed with the trusted key and well formed
        Unreadable,          // the manifest can't be read
        SignatureMissing,    // a manifest without its signature
        SignatureMalformed,  // a signature file not in minisign's format
        SignatureRejected,   // signed with another key, or not over these bytes
        Malformed,           // signed, but not a manifest this program reads
    };
    State state = State::Absent;
    QString detail;  // for anything but Absent and Verified: what was wrong, in a line
    std::vector<std::shared_ptr<const ManifestEntry>> entries;
    Sha256 sha256;  // of the manifest's bytes, once verified: the patch set it names

    // The entry of the patch file with this name, or null. Names are compared in Form KC, as
    // file names are everywhere in this program: a folder copied from another system may
    // hand the name out decomposed.
    std::shared_ptr<const ManifestEntry> entryFor(const QString& patchName) const;

private:
    friend ManifestReading readManifest(const platform::Files&, const QString&, const QString&);
    QHash<QString, std::shared_ptr<const ManifestEntry>> m_byName;  // by the name in Form KC
};

// A patch file's name as the manifest and the folder listing are compared.
QString manifestName(const QString& name);

inline constexpr char kManifestName[] = "patches.manifest";
inline constexpr char kManifestSignatureName[] = "patches.manifest.minisig";

// Reads the manifest of `folder` and checks its signature with `trustedKey`, a minisign public
// key (the base64 line of its file). With no key, a manifest there is NoTrustedKey, unread.
ManifestReading readManifest(const platform::Files& files, const QString& folder, const QString& trustedKey);

// Whether `signatureFile` (a .minisig file) signs `message` with `publicKey`; `why` says what
// failed. Both the prehashed signatures minisign makes by default and the legacy ones.
enum class SignatureCheck { Valid, Malformed, Rejected };
SignatureCheck verifyMinisign(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signatureFile,
                              const QString& publicKey, QString& why);

// The manifest's entries, or nothing (and the line that is wrong in `why`).
std::optional<std::vector<std::shared_ptr<const ManifestEntry>>> parseManifest(std::span<const std::uint8_t> text,
                                                                               QString& why);

// The key built into the program: the one its vendor's manifests are signed with; empty in a
// build that names none, which trusts no key.
QString trustedManifestKey();
// The key's number as minisign prints it (hexadecimal, no leading zeros), or nothing for a
// text that is no minisign public key.
std::optional<QString> minisignKeyId(const QString& publicKey);

}  // namespace fr
