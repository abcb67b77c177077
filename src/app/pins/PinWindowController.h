#pragma once

#include "app/pins/PinEnvironment.h"
#include "core/DocumentViewport.h"
#include "core/Geometry.h"
#include "core/ToolbarPlacementModel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QMenu;

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
    // The pointer is over the image: the strip and badge come up.
    void setHovered(bool hovered);
    // The image window takes the keyboard, and its content view the focus.
    void makeKey();
    // The host's output service runs, or the session holds the output lock.
    bool outputBusy() const;

    // --- Interaction (PinWindowControllerInteraction.cpp) ---
    // Zooms by factor about a global point (y down), between min(m, scale) and 4.
    void scale(double factor, const Point& around);
    void resetScale();
    // The six-item menu at a global point; it never blocks (a nested loop could see the pin
    // closed by its own "关闭").
    void showContextMenu(const QPoint& global);
    QMenu* contextMenu() const;
    // The image window stopped being the active window: drags are put back.
    void windowDidResignKey();

    // --- Editing and suspension (PinWindowControllerEditing.cpp) ---
    static const QString closeDuringOutputMessage;
    void beginEditing();
    void endEditingPresentation();
    bool finishEditing();
    bool finishEditingForSwitch();
    bool beginMovingImage();
    void setTerminationSuspended(bool suspended);
    void toggleEdit();
    void copyPin();
    void savePin();
    void hidePin();
    void closePin();
    struct MoveStart {
        DocumentViewport viewport;
        ToolbarPlacementModel placement;
    };
    const std::optional<MoveStart>& moveStart() const { return m_moveStart; }
    // The quit review's saved text editing of the chrome panel.
    struct SuspendedChrome {
        QPointer<QWidget> responder;
        QPointer<QLineEdit> editor;
        bool editable = false;
        QPointer<QLineEdit> field;
        std::optional<QString> text;
        std::pair<int, int> selection{0, 0}; // start, length
    };
    const SuspendedChrome& suspendedChrome() const { return m_suspendedChrome; }

    // --- Parts ---
    const DocumentViewport& viewport() const { return m_viewport; }
    EditorDocument& document() const { return *m_document; }
    const std::shared_ptr<EditorDocument>& sharedDocument() const { return m_document; }
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
    void matchRingTranslucency(bool compositor);
    // Without a compositor the toolbar's panel keeps only the toolbar's rounded body: its
    // transparent corners would show black.
    void shapeChromeWindow();
    void orderOutAll(bool close);
    void showWindow(QWidget* window);
    void startRestoringRender();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Leaving edit mode at the user's request (the edit button, the menu, the editor's exit).
    void leaveEditing();
    // Copy or save through the editor, once the workspace lets this pin act.
    void performOutput(const QString& command);
    void pinMoved(const Size& offset);
    void pinMoveEnded(bool cancelled);
    void setEditButton(bool editing);
    void freezeChrome();
    void thawChrome();
    void updateMouseTransparency();

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

    std::optional<MoveStart> m_moveStart;
    SuspendedChrome m_suspendedChrome;
    QPointer<QMenu> m_menu;

    bool m_requestedVisible = true;
    bool m_placingChrome = false;
    bool m_isDisposed = false;
    bool m_isRestoringVisibility = false;
    QUuid m_visibilityGeneration = QUuid::createUuid();
};

} // namespace vorlith
