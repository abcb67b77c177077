#pragma once

#include "app/updates/AppcastItem.h"
#include "app/updates/ReleaseVersion.h"

#include <QByteArray>
#include <QUrl>

#include <optional>
#include <vector>

namespace vorlith {

// The release feed: RSS 2.0 (rss > channel > item) whose items carry
// <vorlith:version xmlns:vorlith="urn:vorlith:feed:1"> and a <link> to the release's page.
class AppcastFeed {
public:
    static constexpr const char* versionNamespace = "urn:vorlith:feed:1";

    struct Item {
        ReleaseVersion version;
        QUrl link; // empty unless an absolute http or https address
    };

    // The feed's items; an item without a valid version is skipped. Nothing (malformed) for
    // text that is not well-formed XML, holds a DTD, or is not rss > channel.
    [[nodiscard]] static std::optional<std::vector<Item>> parse(const QByteArray& data);

    // The newest item above `running`, as the update window shows it (information only: the
    // package manager installs).
    [[nodiscard]] static std::optional<AppcastItem> newestAbove(const std::vector<Item>& items,
                                                                const ReleaseVersion& running);
};

} // namespace vorlith
