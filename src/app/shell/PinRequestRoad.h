#pragma once

#include "app/import/ImageImportService.h"
#include "app/shell/PinMenuInvocation.h"
#include "app/shell/PinOriginContext.h"
#include "app/shell/PinRequestCoordinator.h"
#include "app/shell/PinServiceProvider.h"
#include "core/TaskHandle.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

namespace vorlith {

class FolderAccess;
class Pasteboard;
class PinRoadHost;

// The roads by which images become pins outside a capture: the pin hot key and the status
// menu (the file manager's selection or the clipboard), the open panel and requests from
// other programs. One request and one import at a time; while either runs, new requests
// and captures are refused. Each request's toast lives through reading, pinning and the
// final report. The coordinator owns the road; the road owns the request coordinator and
// the service provider. Main thread only.
class PinRequestRoad : public QObject {
    Q_OBJECT
public:
    struct Services {
        std::shared_ptr<ImageImportService> importer;
        std::shared_ptr<Pasteboard> pasteboard;
        std::shared_ptr<PinRequestCoordinator> pinRequests;
        PinOriginEnvironment origins;
        std::shared_ptr<FolderAccess> folderAccess;
    };

    // Offsets of each further image of one batch: right and lower.
    static constexpr double batchStep = 24;

    PinRequestRoad(PinRoadHost& host, Services services, QObject* parent = nullptr);
    ~PinRequestRoad() override;

    // The status button: prepares the request, then shows the menu; a click while preparing
    // cancels the preparation.
    void showStatusMenu();
    // The menu's "置顶图片" item.
    void pasteAsPin();
    // The pin hot key (nothing given) or the claimed menu item (its prepared request).
    void beginSmartPin(std::optional<PreparedPinRequest> prepared);
    // The "打开图片并置顶…" item.
    void openAsPin();
    // Starts importing files (or the clipboard, without `urls`) into pins. True when started.
    bool beginImport(std::optional<QList<QUrl>> urls, std::optional<PinOriginContext> origin,
                     std::optional<Point> near, std::optional<QUuid> feedbackID, std::optional<QUuid> serviceRequest);
    // Reports a finished batch on the toast `requestID`.
    void finishImport(const ImageImportService::Result& result, const QUuid& requestID);
    // The "隐藏／显示置顶图片" item.
    void togglePins();
    // Shows its own refusal.
    bool mayStartNewImage();
    bool canBeginPin() const;
    // At quit: the running tasks are cancelled and every request's file access ends.
    void shutdown();
    // The single-instance server's answer to a pin request ("Open With"): its files go to the
    // service provider; a refusal is answered and, since no other program shows it, also
    // posted as a notice at the pointer.
    [[nodiscard]] std::function<QJsonObject(const QJsonObject&)> pinRequestHandler();

    PinServiceProvider& pinServices() { return *m_pinServices; }
    const PinOriginEnvironment& origins() const { return m_services.origins; }
    bool hasMenuPreparationTask() const { return m_menuPreparationTask.isRunning(); }
    bool hasPinRequestTask() const { return m_pinRequestTask.isRunning(); }
    bool hasImportTask() const { return m_importTask.isRunning(); }
    const std::shared_ptr<PinMenuInvocation>& menuInvocation() const { return m_menuInvocation; }
    bool isRegisteringImportedImage() const { return m_isRegisteringImportedImage; }

    static QString readingMessage();          // "正在读取图片…"
    static QString pinningMessage();          // "正在置顶图片…"
    static QString toastRefusedMessage();     // "请先关闭或处理已有错误提示，再置顶图片。"
    static QString restoringMessage();        // "正在恢复置顶图片内容，请稍后再试。"
    static QString outputBusyMessage();       // "另一张图片正在输出，请先完成或取消当前输出。"
    static QString importerBusyMessage();     // "正在处理另一批图片，请稍后再试。"

private:
    QCoro::Task<> runSmartPin(PinOriginContext origin, std::optional<PreparedPinRequest> prepared, std::stop_token stop);
    QCoro::Task<> runImport(std::optional<QList<QUrl>> urls, Point anchor, QUuid toastID,
                            std::optional<QUuid> serviceRequest, std::stop_token stop);
    QCoro::Task<> runMenuPreparation(PinOriginContext origin, std::stop_token stop);
    void endSmartPinCancelled(const QUuid& toastID);
    bool acceptImage(const ImageImportService::ImportedImage& image, const Point& anchor, int& counter);
    // The toast becomes a failure; false when it is no longer working or suspended.
    bool failToast(const QUuid& id, const QString& message, const std::optional<QString>& details = std::nullopt,
                   std::function<void()> onRemoval = {});

    PinRoadHost& m_host;
    Services m_services;
    std::unique_ptr<PinServiceProvider> m_pinServices;
    TaskHandle m_menuPreparationTask;
    TaskHandle m_pinRequestTask;
    TaskHandle m_importTask;
    std::shared_ptr<PinMenuInvocation> m_menuInvocation;
    bool m_isRegisteringImportedImage = false;
};

} // namespace vorlith
