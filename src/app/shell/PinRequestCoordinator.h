#pragma once

#include "app/shell/FinderSelectionReader.h"
#include "app/shell/PreparedPinRequest.h"
#include "core/Geometry.h"
#include "core/PinSourcePolicy.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <stop_token>

namespace vorlith {

// Decides where a pin request takes its images: the file manager's selection when it was in
// front, else the clipboard, or a sentence for the user instead. Holds no state between
// requests.
class PinRequestCoordinator {
public:
    class Resolution {
    public:
        enum class Kind { files, message, clipboard };
        static Resolution files(QList<QUrl> urls, std::optional<Point> anchor)
        {
            Resolution r(Kind::files);
            r.m_urls = std::move(urls);
            r.m_anchor = anchor;
            return r;
        }
        static Resolution message(QString text)
        {
            Resolution r(Kind::message);
            r.m_message = std::move(text);
            return r;
        }
        static Resolution clipboard() { return Resolution(Kind::clipboard); }

        Kind kind() const { return m_kind; }
        const QList<QUrl>& urls() const { return m_urls; }
        // The centre of the window the files were selected in; absent for the desktop.
        const std::optional<Point>& anchor() const { return m_anchor; }
        const QString& text() const { return m_message; }
        friend bool operator==(const Resolution&, const Resolution&) = default;

    private:
        explicit Resolution(Kind kind) : m_kind(kind) {}
        Kind m_kind;
        QList<QUrl> m_urls;
        std::optional<Point> m_anchor;
        QString m_message;
    };

    explicit PinRequestCoordinator(std::shared_ptr<FinderSelectionReader> finder);

    const std::shared_ptr<FinderSelectionReader> finder;

    // Reads the file manager's selection at once when one is in front. Never throws.
    QCoro::Task<PreparedPinRequest> prepare(PinOriginContext origin, std::stop_token stop = {});
    // Never throws; may ask the user for permission to read the file manager.
    QCoro::Task<Resolution> resolve(PreparedPinRequest request, std::stop_token stop = {});

    // A reading as the source policy sees it.
    [[nodiscard]] static std::optional<PinSourcePolicy::FinderState> finderState(
        const std::optional<FinderSelectionResult>& result);

    static QString notReadMessage();
    static QString timedOutMessage();
    static QString contextChangedMessage();
    static QString deniedMessage();
    static QString permissionGrantedMessage();
    static QString permissionMissingMessage();
    static QString permissionUnavailableMessage();
};

} // namespace vorlith
