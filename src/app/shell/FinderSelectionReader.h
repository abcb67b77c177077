#pragma once

#include "app/shell/FinderSelectionResult.h"
#include "app/shell/PinOriginContext.h"
#include "platform/FileManagerEndpoint.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vorlith {

// Reads the selection of the file manager in front, with its location, within one short
// budget. The blocking exchange runs on the file manager queue (one at a time for the whole
// application) while the main thread waits for the first of the answer and the budget's
// timer. The front application is compared with the request's origin before the read and
// after it, so a selection from another context is never used. Never asks the user; only
// `requestPermission` may.
class FinderSelectionReader {
public:
    // The front application as (process id, identity); both absent when none is in front.
    struct Identity {
        std::optional<qint32> pid;
        std::optional<QString> bundleID;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    using FrontIdentity = std::function<Identity()>;

    static constexpr std::chrono::milliseconds standardBudget{500};
    static constexpr qint64 itemLimit = 10'000;

    // `hasScreens`: whether any display exists. `budget`: the whole read's time (tests
    // shorten it).
    FinderSelectionReader(std::shared_ptr<FileManagerEndpoint> endpoint, FrontIdentity frontIdentity,
                          std::function<bool()> hasScreens,
                          std::chrono::milliseconds budget = standardBudget);

    // The front application as the focus seam sees it.
    [[nodiscard]] static FrontIdentity focusIdentity(std::shared_ptr<ApplicationFocus> focus);

    // Whether the request started with a file manager we can read in front.
    [[nodiscard]] bool isFileManager(const PinOriginContext& origin) const;
    // The read. Never throws; a cancelled caller gets `contextChanged`.
    QCoro::Task<FinderSelectionResult> snapshot(PinOriginContext origin, std::stop_token stop = {});
    // Asks the user, when needed, whether we may read the file manager. Never throws.
    QCoro::Task<FinderPermission> requestPermission(PinOriginContext origin, std::stop_token stop = {});

    // The read itself, blocking, on the worker: permission (without asking), the location,
    // the items, the location again, then the classification of every item.
    [[nodiscard]] static FinderSelectionResult readSelection(FileManagerEndpoint& endpoint,
                                                             const PinOriginContext& origin,
                                                             std::chrono::milliseconds budget,
                                                             std::stop_token stop);

    // The sentences of the failures the reader words itself.
    static QString noScreenMessage();
    static QString unavailableMessage();
    static QString incompleteSelectionMessage();
    static QString unreadableItemsMessage();
    static QString unrecognizedItemsMessage();
    static QString unknownWindowMessage();
    static QString readFailedMessage();

private:
    static bool matches(const FrontIdentity& frontIdentity, const PinOriginContext& origin);

    std::shared_ptr<FileManagerEndpoint> m_endpoint;
    FrontIdentity m_frontIdentity;
    std::function<bool()> m_hasScreens;
    std::chrono::milliseconds m_budget;
};

} // namespace vorlith
