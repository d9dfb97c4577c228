// A host folder's manifest: read only when the trusted key signed exactly these bytes (as
// minisign signs them), and only in the form this program writes.

#include "patch/PatchManifest.h"
#include "support/FakePlatform.h"
#include "support/FontBytes.h"
#include "support/TestKey.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>

using namespace testsupport;
using State = fr::ManifestReading::State;

namespace {

const QString kManifest = QStringLiteral("/host/patches.manifest");
const QString kSignature = QStringLiteral("/host/patches.manifest.minisig");

const std::string kEntry = "patch a.pa\nsha256 " + std::string(64, 'a') + "\nold 'CFF ' " + std::string(32, '0') +
                           "\nnew 'CFF ' " + std::string(32, '1') + "\n";
const std::string kText = "font-reviser patch manifest 1\n\n# a comment\n" + kEntry;

// Signs the manifest at its real path with the test-only key, as a vendor does.
bool sign(const QString& manifest, const QStringList& options = {}) {
    QProcess p;
    p.start(QStringLiteral("minisign"), QStringList{QStringLiteral("-S"), QStringLiteral("-s"),
                                                    QStringLiteral(FR_SOURCE_DIR "/tests/keys/test-only-signing.key"),
                                                    QStringLiteral("-m"), manifest} +
                                            options);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

Bytes readReal(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

TEST(Manifest, OnlyWhatTheTrustedKeySignedIsRead) {
    using Change = std::function<void(TestPlatform&)>;
    const auto edit = [](const QString& path, const std::function<void(std::string&)>& change) {
        return [=](TestPlatform& tp) {
            const Bytes b = readReal(tp.real(path));
            std::string text(b.begin(), b.end());
            change(text);
            tp.writeFile(path, Bytes(text.begin(), text.end()));
        };
    };
    struct Case {
        const char* what;
        QStringList signOptions;
        Change change;
        State state;
    };
    const std::vector<Case> cases = {
        {"signed as minisign signs by default", {}, {}, State::Verified},
        {"signed the legacy way (the file itself)", {QStringLiteral("-l")}, {}, State::Verified},
        {"a byte added after signing",
         {},
         edit(kManifest, [](std::string& t) { t += "\n"; }),
         State::SignatureRejected},
        {"the trusted comment altered",
         {},
         edit(kSignature,
              [](std::string& t) {
                  t.insert(t.begin() + static_cast<std::ptrdiff_t>(t.find("\ntrusted comment: ") + 18), 'x');
              }),
         State::SignatureRejected},
        {"a signature of three lines",
         {},
         edit(kSignature, [](std::string& t) { t.erase(t.rfind('\n', t.size() - 2)); }),
         State::SignatureMalformed},
        {"no signature", {}, [](TestPlatform& tp) { QFile::remove(tp.real(kSignature)); }, State::SignatureMissing},
        {"nothing at all",
         {},
         [](TestPlatform& tp) {
             QFile::remove(tp.real(kSignature));
             QFile::remove(tp.real(kManifest));
         },
         State::Absent},
        {"a program that trusts no key", {}, {}, State::NoTrustedKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPlatform tp;
        tp.writeFile(kManifest, Bytes(kText.begin(), kText.end()));
        ASSERT_TRUE(sign(tp.real(kManifest), c.signOptions));
        if (c.change) c.change(tp);
        const QString key = c.state == State::NoTrustedKey ? QString() : testsupport::testKey();
        const fr::ManifestReading reading = fr::readManifest(tp.files(), QStringLiteral("/host"), key);
        EXPECT_EQ(reading.state, c.state);
        EXPECT_EQ(reading.entries.size(), c.state == State::Verified ? 1u : 0u);
        EXPECT_EQ(reading.detail.isEmpty(), c.state == State::Verified || c.state == State::Absent);
        EXPECT_EQ(reading.sha256 == fr::sha256Of(readReal(tp.real(kManifest))), c.state == State::Verified);
    }
}

// The key's number is shown as minisign shows it, so that an administrator can match the two:
// minisign writes it without leading zeros.
TEST(Manifest, TheKeyIsNumberedAsMinisignNumbersIt) {
    QFile pub(QString::fromLatin1(kTestKeyFile));
    ASSERT_TRUE(pub.open(QIODevice::ReadOnly));
    const QString comment = QString::fromLatin1(pub.readLine().trimmed());
    const auto keyWithNumber = [](std::initializer_list<std::uint8_t> leastSignificantFirst) {
        QByteArray key("Ed");
        for (const auto b : leastSignificantFirst) key.append(static_cast<char>(b));
        key.append(QByteArray(32, '\x5a'));
        return QString::fromLatin1(key.toBase64());
    };
    const std::vector<std::pair<QString, std::optional<QString>>> rows = {
        {testsupport::testKey(), comment.section(u' ', -1)},
        {keyWithNumber({0xbc, 0x9a, 0x78, 0x56, 0x34, 0x12, 0x0a, 0x00}), QStringLiteral("A123456789ABC")},
        {keyWithNumber({0, 0, 0, 0, 0, 0, 0, 0}), QStringLiteral("0")},
        {QString::fromLatin1(QByteArray("Ex" + QByteArray(40, '\1')).toBase64()), std::nullopt},
    };
    for (const auto& [key, number] : rows) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(fr::minisignKeyId(key), number);
    }
}

TEST(Manifest, OnlyTheFormThisProgramWritesIsRead) {
    const std::string head = "font-reviser patch manifest 1\n";
    const std::string sha = "sha256 " + std::string(64, 'b') + "\n";
    const std::vector<std::pair<const char*, std::string>> refused = {
        {"another first line", "font-reviser patch manifest 2\n" + kEntry},
        {"an entry without its sha256", head + "patch a.pa\nold 'CFF ' " + std::string(32, '0') + "\n"},
        {"two sha256 lines", head + kEntry + sha},
        {"a patch listed twice", head + kEntry + kEntry},
        {"one name listed composed and decomposed",
         head + "patch Velmora\xe3\x82\xb4.pa\n" + sha + "patch Velmora\xe3\x82\xb3\xe3\x82\x99.pa\n" + sha},
        {"a patch name with a folder", head + "patch ../a.pa\n" + sha},
        {"a table listed twice", head + kEntry + "new 'CFF ' " + std::string(32, '2') + "\n"},
        {"a digest too short", head + "patch a.pa\n" + sha + "old 'CFF ' " + std::string(31, '0') + "\n"},
        {"a tag outside ASCII", head + "patch a.pa\n" + sha + "old '\xc3\xa9\x41\x42' " + std::string(32, '0') + "\n"},
        {"a line before the first patch", head + sha + kEntry},
        {"a line this version does not have", head + kEntry + "size 100\n"},
        {"bytes that are not UTF-8", head + kEntry + "# \xff\n"},
    };
    for (const auto& [what, text] : refused) {
        QString why;
        EXPECT_FALSE(fr::parseManifest(Bytes(text.begin(), text.end()), why)) << what;
        EXPECT_FALSE(why.isEmpty()) << what;
    }
    // Written on another system: lines ending in CR LF.
    std::string crlf = kText;
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(crlf.begin() + static_cast<std::ptrdiff_t>(at), '\r');
    QString why;
    const auto entries = fr::parseManifest(Bytes(crlf.begin(), crlf.end()), why);
    ASSERT_TRUE(entries) << why.toStdString();
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front()->patch, QStringLiteral("a.pa"));
    EXPECT_EQ(entries->front()->newTables.size(), 1u);
}

// A vendor's whole catalogue in one manifest reads in linear time, and a patch file whose name
// the folder hands out decomposed (as one copied from another system) finds its entry.
TEST(Manifest, ALargeManifestAndDecomposedNamesAreRead) {
    std::string text = "font-reviser patch manifest 1\n";
    const std::string sha = "sha256 " + std::string(64, 'c') + "\n";
    for (int k = 0; k < 60000; ++k) text += "patch Velmora " + std::to_string(k) + ".pa\n" + sha;
    text += "patch Velmora\xe8\xa7\x92\xe3\x82\xb4 StdN W9.pa\n" + sha;  // Velmora角ゴ StdN W9.pa, composed
    TestPlatform tp;
    tp.writeFile(kManifest, Bytes(text.begin(), text.end()));
    ASSERT_TRUE(sign(tp.real(kManifest)));
    const fr::ManifestReading reading = fr::readManifest(tp.files(), QStringLiteral("/host"), testKey());
    ASSERT_EQ(reading.state, State::Verified) << reading.detail.toStdString();
    EXPECT_EQ(reading.entries.size(), 60001u);
    EXPECT_TRUE(reading.entryFor(QStringLiteral("Velmora 59999.pa")));
    const QString decomposed = QStringLiteral(u"Velmora角ゴ StdN W9.pa").normalized(QString::NormalizationForm_D);
    ASSERT_NE(decomposed, QStringLiteral(u"Velmora角ゴ StdN W9.pa"));
    EXPECT_TRUE(reading.entryFor(decomposed));
    EXPECT_FALSE(reading.entryFor(QStringLiteral("Velmora 60000.pa")));
}

}  // namespace
