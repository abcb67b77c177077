#pragma once

#include "app/base/ScreenLookup.h"
#include "app/output/feedback/ToastEnvironment.h"
#include "core/Geometry.h"
#include "core/TaskHandle.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <optional>

#include "app/output/feedback/OutputToastSurface.h"
#include "app/output/feedback/ToastSymbolView.h"

#include <QLabel>
#include <QPushButton>

namespace vorlith {

// One feedback toast on screen: a borderless panel that floats above other windows and never
// takes the keyboard. It shows one of four looks: progress (a spinner, the text and "取消",
// only after a short delay), success (closes itself), notice (closes itself, later) and
// failure (an optional "重试" or "详情" button and a close button; it stays until the user
// acts). The feedback coordinator drives it and decides whether it may be in front.
//
// Main thread only. Released with deleteLater(): its buttons' actions may end its record.
class OutputToastRenderer : public QObject {
    Q_OBJECT
public:
    struct Presentation {
        QString message;
        bool progress = false;
        std::optional<QString> title; // the button's
        bool failed = false;
        bool notice = false;
        friend bool operator==(const Presentation&, const Presentation&) = default;
    };

    explicit OutputToastRenderer(ToastEnvironment environment, QObject* parent = nullptr);
    ~OutputToastRenderer() override;

    // Starts a new request; the progress panel follows after the delay.
    void begin(const QUuid& id, const Point& anchor, const QString& message, std::function<void()> cancel);
    void progress(const QUuid& id, const QString& message);
    // Moves the toast to the screen under the anchor.
    void adoptOrigin(const Point& anchor);
    // Cancels the pending timer and hides the panel.
    void suspend(const QUuid& id);
    void success(const QUuid& id, const QString& message);
    // A request of its own with the notice look.
    void showNotice(const QString& message, const Point& anchor);
    void failure(const QUuid& id, const QString& message, std::function<void()> retry);
    // Ends the request and fades the panel out.
    void dismiss();
    // Stores the presentation and lays out the panel.
    void show(const QString& message, bool progress, const std::optional<QString>& buttonTitle,
              std::function<void()> action, bool failed, bool notice);

    // Whether the coordinator lets this toast be in front: a presented panel is brought to the
    // front without taking focus, any other one is ordered out.
    void setPresented(bool presented);
    bool isPresented() const { return m_isPresented; }

    // The screen the toast belongs to, or none.
    [[nodiscard]] std::optional<DisplayScreen> originScreen() const;

    // The buttons' targets.
    void invokeAction();
    void closeNotice();

    // Read and written by the coordinator.
    double verticalOffset = 0;
    std::optional<QString> detailsText;
    std::function<void()> onClose;
    Point anchor() const { return m_anchor; }
    const std::optional<Presentation>& presentation() const { return m_presentation; }
    const std::function<void()>& action() const { return m_action; }
    QWidget* panel() const { return m_panel; }

    // For tests and the gallery.
    std::optional<QUuid> requestID() const { return m_requestID; }
    std::optional<quint32> originDisplayID() const { return m_originDisplayID; }
    QWidget* detailsWindow() const { return m_detailsWindow; }
    QString labelText() const { return m_labelText; }
    OutputToastSurface* surface() const { return m_surface; }
    QLabel* label() const { return m_label; }
    ToastSymbolView* symbol() const { return m_symbol; }
    ToastSymbolView* spinner() const { return m_spinner; }
    QPushButton* button() const { return m_button; }
    ToastCloseButton* closeButton() const { return m_closeButton; }

private:
    void startDelay(std::chrono::milliseconds duration, const QUuid& id, void (OutputToastRenderer::*then)(const QUuid&));
    void showProgressAfterDelay(const QUuid& id);
    void dismissIfCurrent(const QUuid& id);
    void cancelDelay();
    std::optional<quint32> displayUnder(const Point& point) const;
    void makePanel();
    void layOut(const DisplayScreen& screen);
    void applyCompositing();
    void showDetails();
    void reshow();

    ToastEnvironment m_environment;
    std::optional<QUuid> m_requestID;
    Point m_anchor;
    QPointer<QWidget> m_panel;
    TaskHandle m_delay;
    std::function<void()> m_cancelAction;
    QString m_labelText;
    std::function<void()> m_action;
    QPointer<QWidget> m_detailsWindow;
    std::optional<Presentation> m_presentation;
    bool m_isPresented = true;
    std::optional<quint32> m_originDisplayID;

    // The current panel's subviews (they go with it).
    QPointer<OutputToastSurface> m_surface;
    QPointer<ToastSymbolView> m_symbol;
    QPointer<QLabel> m_label;
    QPointer<ToastSymbolView> m_spinner;
    QPointer<QPushButton> m_button;
    QPointer<ToastCloseButton> m_closeButton;
};

} // namespace vorlith
