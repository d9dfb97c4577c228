#include "patch/PatchManifest.h"

#include "platform/NativePath.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "patch/TrustedKey.h"

namespace fr {

namespace {

// A manifest or a signature far larger than any this program's vendor writes is not read.
constexpr std::uint64_t kLargestManifest = 16u << 20;
constexpr std::uint64_t kLargestSignature = 4096;

constexpr char kFirstLine[] = "font-reviser patch manifest 1";

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::optional<QByteArray> base64(QByteArrayView text, std::size_t size) {
    const auto decoded = QByteArray::fromBase64Encoding(text.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || static_cast<std::size_t>(decoded.decoded.size()) != size) return std::nullopt;
    return decoded.decoded;
}

}  // namespace

Sha256 sha256Of(std::span<const std::uint8_t> bytes) {
    Sha256 digest;
    crypto_hash_sha256(digest.bytes.data(), bytes.data(), bytes.size());
    return digest;
}

QString manifestName(const QString& name) { return name.normalized(QString::NormalizationForm_KC); }

std::shared_ptr<const ManifestEntry> ManifestReading::entryFor(const QString& patchName) const {
    return m_byName.value(manifestName(patchName));
}

QString trustedManifestKey() { return QString::fromLatin1(kTrustedManifestKey); }

std::optional<QString> minisignKeyId(const QString& publicKey) {
    // "Ed", the key's number (eight bytes, least significant first), the Ed25519 key.
    const auto key = base64(publicKey.trimmed().toLatin1(), 2 + 8 + 32);
    if (!key || !key->startsWith("Ed")) return std::nullopt;
    // Most significant byte first and without leading zeros, as minisign prints it.
    QByteArray number(8, '\0');
    for (int i = 0; i < 8; ++i) number[i] = key->at(9 - i);
    QByteArray hex = number.toHex().toUpper();
    while (hex.size() > 1 && hex.startsWith('0')) hex.remove(0, 1);
    return QString::fromLatin1(hex);
}

SignatureCheck verifyMinisign(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signatureFile,
                              const QString& publicKey, QString& why) {
    if (!sodiumReady()) {
        why = QStringLiteral("the signature library could not start");
        return SignatureCheck::Rejected;
    }
    // The key: "Ed", its 8-byte number, the 32-byte Ed25519 key.
    const auto key = base64(publicKey.trimmed().toLatin1(), 2 + 8 + 32);
    if (!key || !key->startsWith("Ed")) {
        why = QStringLiteral("the trusted key is not a minisign public key");
        return SignatureCheck::Rejected;
    }
    // Four lines: an untrusted comment, the signature, the trusted comment, its signature.
    const QByteArray file(reinterpret_cast<const char*>(signatureFile.data()),
                          static_cast<qsizetype>(signatureFile.size()));
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    constexpr QByteArrayView kUntrusted = "untrusted comment: ", kTrusted = "trusted comment: ";
    if (lines.size() != 4 || !lines[0].startsWith(kUntrusted) || !lines[2].startsWith(kTrusted)) {
        why = QStringLiteral("the signature file is not in minisign's format");
        return SignatureCheck::Malformed;
    }
    // "Ed" (the file signed itself) or "ED" (its BLAKE2b-512 signed), the key's number, 64 bytes.
    const auto signature = base64(lines[1], 2 + 8 + 64);
    const auto global = base64(lines[3], 64);
    if (!signature || !global || !(signature->startsWith("Ed") || signature->startsWith("ED"))) {
        why = QStringLiteral("the signature file is not in minisign's format");
        return SignatureCheck::Malformed;
    }
    if (std::memcmp(signature->constData() + 2, key->constData() + 2, 8) != 0) {
        why = QStringLiteral("signed with another key than the one this program trusts");
        return SignatureCheck::Rejected;
    }
    const auto* pk = reinterpret_cast<const unsigned char*>(key->constData() + 10);
    const auto* sig = reinterpret_cast<const unsigned char*>(signature->constData() + 10);
    int verified = -1;
    if (signature->startsWith("ED")) {
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash(hash.data(), hash.size(), message.data(), message.size(), nullptr, 0);
        verified = crypto_sign_verify_detached(sig, hash.data(), hash.size(), pk);
    } else {
        verified = crypto_sign_verify_detached(sig, message.data(), message.size(), pk);
    }
    if (verified != 0) {
        why = QStringLiteral("the signature does not match the manifest's bytes");
        return SignatureCheck::Rejected;
    }
    // The trusted comment is signed with the signature it follows.
    QByteArray signedComment(reinterpret_cast<const char*>(sig), 64);
    signedComment += lines[2].mid(kTrusted.size());
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(global->constData()),
                                    reinterpret_cast<const unsigned char*>(signedComment.constData()),
                                    static_cast<unsigned long long>(signedComment.size()), pk) != 0) {
        why = QStringLiteral("the signature's trusted comment was altered");
        return SignatureCheck::Rejected;
    }
    return SignatureCheck::Valid;
}

std::optional<std::vector<std::shared_ptr<const ManifestEntry>>> parseManifest(std::span<const std::uint8_t> text,
                                                                               QString& why) {
    const auto decoded = platform::decodeUtf8Strict(text);
    if (!decoded) {
        why = QStringLiteral("not UTF-8 text");
        return std::nullopt;
    }
    std::vector<std::shared_ptr<const ManifestEntry>> entries;
    QSet<QString> names;  // in Form KC: two spellings of one name are one name
    std::shared_ptr<ManifestEntry> entry;
    bool haveSha = false;
    auto finish = [&]() -> bool {
        if (!entry) return true;
        if (!haveSha) return false;
        entries.push_back(std::move(entry));
        return true;
    };
    const QStringList lines = decoded->split(u'\n');
    bool first = true;
    int number = 0;
    for (const QString& raw : lines) {
        ++number;
        const QString line = raw.endsWith(u'\r') ? raw.chopped(1) : raw;
        auto wrong = [&](const char* what) {
            why = QStringLiteral("line %1: %2").arg(number).arg(QString::fromLatin1(what));
            return std::nullopt;
        };
        if (first) {
            if (line != QLatin1String(kFirstLine)) return wrong("not a font-reviser patch manifest of version 1");
            first = false;
            continue;
        }
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(QLatin1String("patch "))) {
            if (!finish()) return wrong("the entry before has no sha256");
            entry = std::make_shared<ManifestEntry>();
            entry->patch = line.mid(6);
            haveSha = false;
            if (entry->patch.isEmpty() || entry->patch.contains(u'/')) return wrong("not a patch file's name");
            const QString name = manifestName(entry->patch);
            if (names.contains(name)) return wrong("a patch listed twice");
            names.insert(name);
            continue;
        }
        if (!entry) return wrong("a line before the first patch");
        if (line.startsWith(QLatin1String("sha256 "))) {
            const auto digest = Sha256::fromHex(QStringView(line).mid(7));
            if (!digest || haveSha) return wrong("not one sha256 of 64 hexadecimal digits");
            entry->sha256 = *digest;
            haveSha = true;
            continue;
        }
        // old 'CFF ' 0123...: the tag between quotes, four characters of ASCII.
        const bool old = line.startsWith(QLatin1String("old '")), made = line.startsWith(QLatin1String("new '"));
        if (!old && !made) return wrong("a line this manifest version does not have");
        if (line.size() != 5 + 4 + 2 + 32 || line[9] != u'\'' || line[10] != u' ') return wrong("not a table line");
        const QString tagText = line.mid(5, 4);
        if (!std::all_of(tagText.cbegin(), tagText.cend(),
                         [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
            return wrong("a tag that is not four ASCII characters");
        const QByteArray tagBytes = tagText.toLatin1();
        const Tag tag(std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(tagBytes.constData()), 4));
        const auto digest = Digest128::fromHex(QStringView(line).mid(11));
        if (!digest) return wrong("not a digest of 32 hexadecimal digits");
        ManifestEntry::Tables& tables = old ? entry->oldTables : entry->newTables;
        if (std::any_of(tables.begin(), tables.end(), [&](const auto& t) { return t.first == tag; }))
            return wrong("a table listed twice");
        tables.emplace_back(tag, *digest);
    }
    if (first) {
        why = QStringLiteral("empty");
        return std::nullopt;
    }
    if (!finish()) {
        why = QStringLiteral("the last entry has no sha256");
        return std::nullopt;
    }
    return entries;
}

ManifestReading readManifest(const platform::Files& files, const QString& folder, const QString& trustedKey) {
    ManifestReading reading;
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    const QString manifestPath = base + QLatin1String(kManifestName);
    const QString signaturePath = base + QLatin1String(kManifestSignatureName);
    const bool manifestThere = files.exists(manifestPath) || files.isSymbolicLink(manifestPath);
    const bool signatureThere = files.exists(signaturePath) || files.isSymbolicLink(signaturePath);
    if (!manifestThere && !signatureThere) return reading;

    using State = ManifestReading::State;
    // A build that trusts no key can check no signature: the manifest is not even read.
    if (trustedKey.trimmed().isEmpty()) {
        reading.state = State::NoTrustedKey;
        reading.detail = QStringLiteral("%1: this program trusts no signing key").arg(manifestPath);
        return reading;
    }
    // Read once: the bytes checked are the bytes parsed.
    const auto manifest = files.readAll(manifestPath, kLargestManifest);
    if (!manifest) {
        reading.state = State::Unreadable;
        reading.detail = QStringLiteral("%1 can't be read").arg(manifestPath);
        return reading;
    }
    const auto signature = files.readAll(signaturePath, kLargestSignature);
    if (!signature) {
        reading.state = State::SignatureMissing;
        reading.detail = QStringLiteral("%1 has no signature that can be read (%2)").arg(manifestPath, signaturePath);
        return reading;
    }
    QString why;
    switch (verifyMinisign(*manifest, *signature, trustedKey, why)) {
    case SignatureCheck::Malformed:
        reading.state = State::SignatureMalformed;
        reading.detail = QStringLiteral("%1: %2").arg(signaturePath, why);
        return reading;
    case SignatureCheck::Rejected:
        reading.state = State::SignatureRejected;
        reading.detail = QStringLiteral("%1: %2").arg(signaturePath, why);
        return reading;
    case SignatureCheck::Valid:
        break;
    }
    auto entries = parseManifest(*manifest, why);
    if (!entries) {
        reading.state = State::Malformed;
        reading.detail = QStringLiteral("%1: %2").arg(manifestPath, why);
        return reading;
    }
    reading.state = State::Verified;
    reading.entries = std::move(*entries);
    reading.sha256 = sha256Of(*manifest);
    for (const auto& entry : reading.entries) reading.m_byName.insert(manifestName(entry->patch), entry);
    return reading;
}

}  // namespace fr
