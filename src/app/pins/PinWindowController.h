#pragma once

#include "app/pins/PinEnvironment.h"
#include "core/DocumentViewport.h"
#include "core/Geometry.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class EditorDocument;
class EditorHostView;
class PinActionButton;
class PinChromeSurface;
class PinContentView;
class PinDecorationView;
class PinResizeView;
class PinScaleView;

// One pinned image on screen: the image window with the pin's editor view inside, and around
// it the ring (shadow, border, handles), the control strip, the zoom badge, eight resize
// panels and, while the pin is edited, the chrome panel that carries the editor's toolbar.
// Every window is laid out from the pin's `viewport` (Qt's global coordinates: its screen
// origin is the image window's top-left corner).
//
// The image window is managed (stays on top, on every desktop, out of the task bar), the
// chrome panel is its dialog, and the others are satellites of it (see FloatingWindows): they
// bypass the window manager and stand directly above the image, in the order image, ring,
// resize panels, badge, strip. Windows are parentless widgets the controller owns and deletes
// with itself; `dispose()` only hides and closes them.
class PinWindowController : public QObject {
    Q_OBJECT
public:
    // Refuses (answers nothing) a selection that no viewport can be formed from.
    [[nodiscard]] static std::unique_ptr<PinWindowController> make(std::shared_ptr<EditorDocument> document,
                                                                   EditorHostView* host, const Rect& selection,
                                                                   std::optional<Point> near, PinEnvironment environment);
    ~PinWindowController() override;

    static const QString displayFailureMessage;

    // --- Callbacks (each gets the document's id) ---
    std::function<bool(const QUuid&)> onRequestEdit;
    std::function<bool(const QUuid&)> onRequestActivation;
    std::function<void(const QUuid&)> onFinishEdit;
    std::function<void(const QUuid&)> onClose;
    std::function<void(const QString& message)> onDisplayFailure;
    std::function<void()> onVisibilityChanged;

    // --- State ---
    bool isEditing = false;
    bool captureSuspended = false;
    bool terminationSuspended = false;
    bool isActive = true;
    bool isHovered = false;
    bool requestedVisible() const { return m_requestedVisible; }
    bool isDisposed() const { return m_isDisposed; }
    bool isRestoringVisibility() const { return m_isRestoringVisibility; }
    // Disposed, restoring, or suspended for a capture or the quit review.
    bool isBlocked() const;

    // --- Operations ---
    void apply(const DocumentViewport& viewport);
    void positionControls();
    void positionChrome();
    void activateControls();
    void show();
    void setVisible(bool visible);
    bool bringToFront();
    bool requestActivation() const;
    void constrainToAvailableScreens();
    void dispose();
    // Asks again whether the pointer is over the image (after it left a panel).
    void updateHover();

    // --- Parts ---
    const DocumentViewport& viewport() const { return m_viewport; }
    EditorDocument& document() const { return *m_document; }
    EditorHostView* host() const;
    QWidget* contentWindow() const { return m_contentWindow.get(); }
    PinContentView* content() const { return m_content; }
    QWidget* chromeWindow() const { return m_chromeWindow.get(); }
    QWidget* borderWindow() const { return m_borderWindow.get(); }
    QWidget* controlsWindow() const { return m_controlsWindow.get(); }
    QWidget* scaleWindow() const { return m_scaleWindow.get(); }
    QWidget* resizeWindow(int index) const { return m_resizeWindows[size_t(index)].get(); }
    PinDecorationView* decoration() const { return m_decoration; }
    PinChromeSurface* controls() const { return m_controls; }
    PinScaleView* scaleLabel() const { return m_scaleLabel; }
    PinActionButton* editButton() const { return m_editButton; }
    PinActionButton* button(int index) const { return m_buttons[size_t(index)]; }
    PinResizeView* resizeView(int index) const { return m_resizeViews[size_t(index)]; }

private:
    PinWindowController(std::shared_ptr<EditorDocument> document, EditorHostView* host, DocumentViewport viewport,
                        PinEnvironment environment);
    void makeWindows();
    void configureControls();
    void wireHost();
    FloatingWindows& windows() const { return *m_environment.windows; }
    Rect contentFrame() const;
    std::optional<DisplayScreen> contentScreen() const;
    void showCompositedLook();
    void orderOutAll(bool close);
    void showWindow(QWidget* window);
    void startRestoringRender();

    std::shared_ptr<EditorDocument> m_document;
    QPointer<EditorHostView> m_host;
    DocumentViewport m_viewport;
    PinEnvironment m_environment;
    QString m_windowPrefix;

    // Deleted in reverse: the image window (with the host, whose destructor unwires its toolbar)
    // goes before the chrome panel that holds the toolbar.
    std::unique_ptr<QWidget> m_chromeWindow;
    std::unique_ptr<QWidget> m_borderWindow;
    std::unique_ptr<QWidget> m_controlsWindow;
    std::unique_ptr<QWidget> m_scaleWindow;
    std::array<std::unique_ptr<QWidget>, 8> m_resizeWindows;
    std::unique_ptr<QWidget> m_contentWindow;

    PinContentView* m_content = nullptr;
    QWidget* m_chromeContent = nullptr; // holds the toolbar
    PinDecorationView* m_decoration = nullptr;
    PinChromeSurface* m_controls = nullptr;
    PinScaleView* m_scaleLabel = nullptr;
    PinActionButton* m_editButton = nullptr;
    std::array<PinActionButton*, 4> m_buttons{};
    std::array<PinResizeView*, 8> m_resizeViews{};

    bool m_requestedVisible = true;
    bool m_placingChrome = false;
    bool m_isDisposed = false;
    bool m_isRestoringVisibility = false;
    QUuid m_visibilityGeneration = QUuid::createUuid();
};

} // namespace vorlith
