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

#include "fonttables/TableDigest.h"
#include "fonttables/Tag.h"
#include "platform/Files.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fr {

struct Sha256 {
    std::array<std::uint8_t, 32> bytes{};
    friend bool operator==(const Sha256&, const Sha256&) = default;
    QString hex() const;
};
Sha256 sha256Of(std::span<const std::uint8_t> bytes);

struct ManifestEntry {
    using Tables = std::vector<std::pair<Tag, Digest128>>;
    QString patch;  // the patch file's name
    Sha256 sha256;
    Tables oldTables, newTables;
};

// What reading a "host" folder's manifest came to.
struct ManifestReading {
    enum class State {
        Absent,              // neither the manifest nor its signature: the patches are not verified
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

    // The entry of the patch file with this name, or null.
    std::shared_ptr<const ManifestEntry> entryFor(const QString& patchName) const;
};

inline constexpr char kManifestName[] = "patches.manifest";
inline constexpr char kManifestSignatureName[] = "patches.manifest.minisig";

// Reads the manifest of `folder` and checks its signature with `trustedKey`, a minisign public
// key (the base64 line of its file).
ManifestReading readManifest(const platform::Files& files, const QString& folder, const QString& trustedKey);

// Whether `signatureFile` (a .minisig file) signs `message` with `publicKey`; `why` says what
// failed. Both the prehashed signatures minisign makes by default and the legacy ones.
enum class SignatureCheck { Valid, Malformed, Rejected };
SignatureCheck verifyMinisign(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signatureFile,
                              const QString& publicKey, QString& why);

// The manifest's entries, or nothing (and the line that is wrong in `why`).
std::optional<std::vector<std::shared_ptr<const ManifestEntry>>> parseManifest(std::span<const std::uint8_t> text,
                                                                               QString& why);

// The key built into the program: the one its vendor's manifests are signed with.
QString trustedManifestKey();

}  // namespace fr
