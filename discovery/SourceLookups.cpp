#include "discovery/SourceLookups.h"

#include "discovery/TextRules.h"
#include "patch/OpenTypeManager.h"
#include "platform/PathText.h"

namespace fr {

bool PairingSourceLookup::stillTarget(const platform::ReadableBytes& font, const QString& path,
                                      std::uint32_t version) const {
    const SourceEntryPtr paired = sourceForName(text::formKC(platform::lastPathComponent(path)));
    std::uint64_t revision = 0;
    return paired && OpenTypeManager::checkOpenTypeVersion(font, *paired, revision) && revision == version;
}

SourceEntryPtr PairingSourceLookup::sourceForInstalledName(const QString& name) const {
    return sourceForName(text::formKC(name));
}

bool DiscoverySourceLookup::onAdmittedVolume(const QString& path) const { return m_discovery.onAdmittedVolume(path); }

bool FixedSourceLookup::onAdmittedVolume(const QString& path) const {
    return admittedVolume(m_volumes, m_volumes.mountPointOf(path));
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
