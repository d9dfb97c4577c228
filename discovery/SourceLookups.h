#pragma once
// How a revision finds its patch and re-checks its font through font discovery: the
// wizard's and the command line's from the search's own source list, the revise-font
// tool's from the one patch it is given.

#include "discovery/FontCheckCtrl.h"
#include "patch/SourceLookup.h"

#include <vector>

namespace fr {

// Pairs an installed file with its source by name and re-checks it with the identity
// checks of the search.
class PairingSourceLookup : public SourceLookup {
public:
    bool stillTarget(const platform::ReadableBytes& font, const QString& path, std::uint32_t version) const override;
    SourceEntryPtr sourceForInstalledName(const QString& name) const override;

protected:
    // The source the search pairs with an installed file named `name` (Form KC).
    virtual SourceEntryPtr sourceForName(const QString& name) const = 0;
};

// The sources of a FontCheckCtrl: IsUpdateFont and getUpdateFontPath.
class DiscoverySourceLookup : public PairingSourceLookup {
public:
    explicit DiscoverySourceLookup(const FontCheckCtrl& discovery) : m_discovery(discovery) {}
    SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const override;
    // Where the search walked.
    bool searchFinds(const QString& path) const override;

protected:
    SourceEntryPtr sourceForName(const QString& name) const override;

private:
    const FontCheckCtrl& m_discovery;
};

// A fixed list of sources, paired by file name as FontCheckCtrl pairs them: the first whose
// "fontfile" equals the installed file's name.
class FixedSourceLookup : public PairingSourceLookup {
public:
    FixedSourceLookup(std::vector<SourceEntryPtr> sources, const platform::Volumes& volumes)
        : m_sources(std::move(sources)), m_volumes(volumes) {}
    SourceEntryPtr sourceForTarget(const QString& path, std::uint64_t version) const override;
    // Where a search would walk: a local volume, neither removable nor unmountable, under
    // the search's rules.
    bool searchFinds(const QString& path) const override;

protected:
    SourceEntryPtr sourceForName(const QString& name) const override;

private:
    std::vector<SourceEntryPtr> m_sources;
    const platform::Volumes& m_volumes;
};

}  // namespace fr
