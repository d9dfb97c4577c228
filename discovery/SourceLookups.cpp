#include "discovery/SourceLookups.h"

#include "discovery/TextRules.h"
#include "patch/IdentityChecks.h"
#include "platform/PathText.h"

namespace fr {

bool PairingSourceLookup::stillTarget(const platform::ReadableBytes& font, const QString& path,
                                      std::uint32_t version) const {
    const SourceEntryPtr paired = sourceForName(text::formKC(platform::lastPathComponent(path)));
    std::uint64_t revision = 0;
    return paired && identity::checkOpenTypeVersion(font, *paired, revision) && revision == version;
}

SourceEntryPtr PairingSourceLookup::sourceForInstalledName(const QString& name) const {
    return sourceForName(text::formKC(name));
}

bool DiscoverySourceLookup::searchFinds(const QString& path) const { return m_discovery.wouldFind(path); }

bool FixedSourceLookup::searchFinds(const QString& path) const {
    const QString volume = m_volumes.mountPointOf(path);
    return admittedVolume(m_volumes, volume) && searchReaches(m_volumes, volume, path);
}

SourceEntryPtr DiscoverySourceLookup::sourceForName(const QString& name) const {
    return m_discovery.IsUpdateFont(name, QString());
}
SourceEntryPtr DiscoverySourceLookup::sourceForTarget(const QString& path, std::uint64_t version) const {
    return m_discovery.getUpdateFontPath(path, version);
}

SourceEntryPtr FixedSourceLookup::sourceForName(const QString& name) const {
    for (const auto& source : m_sources)
        if (source && source->fontfile == name) return source;
    return nullptr;
}
SourceEntryPtr FixedSourceLookup::sourceForTarget(const QString& path, std::uint64_t) const {
    return sourceForName(text::formKC(platform::lastPathComponent(path)));
}

}  // namespace fr
