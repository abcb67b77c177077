#pragma once

#include "app/capture/WindowCandidate.h"
#include "app/editor/CaptureTextView.h"
#include "app/editor/CompositeRenderer.h"
#include "app/editor/DiscoveryHintPanel.h"
#include "app/editor/EditorHostEnvironment.h"
#include "app/editor/EditorGesture.h"
#include "app/editor/EditorOutputSuccess.h"
#include "app/editor/EditorPicture.h"
#include "app/editor/LiveInk.h"
#include "app/editor/RecoveredCapture.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputResult.h"
#include "app/output/feedback/OutputToast.h"
#include "core/Annotation.h"
#include "core/EditorInputPolicy.h"
#include "core/Geometry.h"
#include "core/TaskHandle.h"
#include "core/ToolbarPlacementModel.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QTransform>
#include <QUuid>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWheelEvent;

namespace vorlith {

class CaptureHint;
class CaptureLoupeView;
class CaptureToolbar;
class EditorDocument;
class FeedbackCoordinator;
class OutputService;
class OverlayChromeShadows;
class ToolProperties;

// The one editor view: every capture is selected and annotated in it, on a capture overlay
// (one per display) or inside a pinned image (`isPinned`). It edits exactly one document and
// hosts its own chrome: the toolbar with the property strip, the loupe, the guidance pill and
// the shadows behind them, the feedback label with its output buttons. It reports to its owner
// only through the `on…` callbacks below; after calling one it checks that it still exists,
// since an owner may end the capture from inside a callback (owners release the view with
// deleteLater()).
//
// Coordinates: the view's bounds are the document's logical points, y down. A pin shows the
// document magnified: the widget is `viewScale()` times the document's size and
// `documentToView()` maps between the two; child widgets (the chrome, the text box) are placed
// in widget coordinates and do not scale by themselves. The toolbar may live in another window
// (a pin's chrome panel): its geometry is always read and written through global mapping.
//
// The member functions live in one file per concern: EditorHostView.cpp (state and lifecycle),
// EditorHostViewDrawing.cpp, EditorHostViewChrome.cpp (chrome placement and its timers),
// EditorHostViewLoupe.cpp, EditorHostViewText.cpp, EditorHostViewCommands.cpp and
// EditorHostViewKeys.cpp; pointer handling goes into EditorHostViewPointer.cpp.
class EditorHostView : public QWidget {
    Q_OBJECT
public:
    using Environment = EditorHostEnvironment;
    using Clock = EditorHostEnvironment::Clock;

    // Where the toolbar placement model works: the selection and the frame.
    struct PlacementContext {
        Rect selection;
        ToolbarPlacementModel::Frame frame;
    };

    // Absent collaborators are replaced by new ones: an output service on the system
    // clipboard, an idle output gate and a feedback coordinator without a memory budget.
    EditorHostView(std::shared_ptr<EditorDocument> record, bool isPinned, std::shared_ptr<OutputService> output = {},
                   std::shared_ptr<OutputCoordinator> outputs = {}, std::shared_ptr<FeedbackCoordinator> feedback = {},
                   Environment environment = {}, QWidget* parent = nullptr);
    ~EditorHostView() override;

    static constexpr double placementReservedHeight = 117;
    static const QString accessibilityLabel; // "截图选区"

    // --- Owner callbacks (absent: not called) ---
    std::function<void()> onExit;
    std::function<void()> onCommit;
    std::function<void(const QString& message)> onOutputSuccess;
    std::function<void(const EditorOutputSuccess& success)> onOutputCompleted;
    std::function<bool(EditorDocument& document)> onPin;
    std::function<void()> onContentChanged;
    std::function<void(double factor, Point anchor)> onScaleRequest;
    std::function<bool()> onPinMoveBegan;
    // The pointer's offset from the press in global coordinates, y DOWN (Qt's screen space):
    // the owner moves its window to the saved origin plus the offset, on both axes.
    std::function<void(Size offset)> onPinMoved;
    std::function<void(bool cancelled)> onPinMoveEnded;
    std::function<void(EditorHostView& view)> onPositionChrome;
    std::function<PlacementContext()> toolbarPlacementContext;
    std::function<Point()> toolbarPointerInPlacement;
    // The owner's permission for any input; an empty function permits.
    std::function<bool()> canInteract;

    // --- Document and mode ---
    EditorDocument& record() const { return *m_record; }
    const std::shared_ptr<EditorDocument>& sharedRecord() const { return m_record; }
    bool isPinned() const { return m_isPinned; }
    bool isEditingEnabled() const { return m_isEditingEnabled; }
    void setEditingEnabled(bool enabled);
    // Window rectangles of this display for the window pick, in view coordinates.
    std::vector<WindowCandidate> candidates;

    // --- Queries the owners read ---
    OutputService& output() const { return *m_output; }
    OutputCoordinator& outputs() const { return *m_outputs; }
    OutputToast& outputToast() { return m_outputToast; }
    CaptureToolbar* toolbar() const { return m_chrome.toolbar; }
    ToolProperties* properties() const { return m_chrome.properties; }
    CaptureLoupeView* loupe() const { return m_chrome.loupe; }
    CaptureHint* captureHint() const { return m_chrome.captureHint; }
    OverlayChromeShadows* chromeShadows() const { return m_chrome.chromeShadows; }
    QLabel* feedbackLabel() const { return m_chrome.feedback; }
    QPushButton* cancelOutputButton() const { return m_chrome.cancelOutputButton; }
    QPushButton* retryButton() const { return m_chrome.retryButton; }
    DiscoveryHintPanel* discoveryPanel() const { return m_chrome.discoveryPanel; }
    QWidget* textScroll() const;
    const std::optional<EditorGesture>& gesture() const { return m_pointer.gesture; }
    // Stores the gesture; any case but a pin move opens a gesture edit on the session.
    void setGesture(std::optional<EditorGesture> gesture);
    bool hasGesture() const { return m_pointer.gesture.has_value(); }
    bool isDraggingToolbar() const { return m_chrome.toolbarDragStart.has_value(); }
    bool hasActiveTextInput() const;
    bool hasPendingTerminationWork() const;
    bool inputSuspended() const { return m_suspension.inputSuspended; }
    bool pinMoveStarted() const { return m_pointer.pinMoveStarted; }
    const std::optional<Point>& pointerPoint() const { return m_loupe.pointerPoint; }
    const std::optional<QString>& sampledHex() const { return m_loupe.sampledHex; }
    bool discoverySeen() const { return m_chrome.discoverySeen; }
    bool hoverHintVisible() const { return m_chrome.hoverHintVisible; }
    bool returnMonitorRunning() const { return m_chrome.returnTimer.isActive(); }
    bool propertiesOpen() const { return m_chrome.propertiesOpen; }
    // The completion this view gives its previews: redraws, and reports a failed render. It
    // holds the view weakly; pins reuse it when they refresh the drawing.
    [[nodiscard]] CompositeRenderer::PreviewCompletion previewCompletion();

    // --- Transform between the document and the widget ---
    // Magnifies the view (a pin's zoom): the widget becomes the document's size times scale.
    void setViewScale(double scale);
    // Shows only `shown` of the document (a pin of a capture shows its selection, a part of a
    // whole-display document) at scale: the widget is shown × scale and `bounds()` is shown,
    // so clamping, the loupe and text layout stay inside the pin. A rectangle or scale that is
    // not finite and positive is refused (nothing changes) and answers false.
    bool setViewport(const Rect& shown, double scale);
    double viewScale() const;
    // One unit: a length that keeps its size on screen at any zoom.
    double unit() const { return 1 / viewScale(); }
    QTransform documentToView() const;
    Rect bounds() const;

    // --- Operations called by owners ---
    void setInputSuspended(bool suspended);
    [[nodiscard]] bool prepareForExternalAction();
    void cancelPinMove();
    void restore(const RecoveredCapture& saved);
    // The key (an X key code) does nothing in this editor until it has been released: the
    // hot key that opened the capture may still be held.
    void suppressKeyUntilRelease(quint16 keyID);

    // --- Content operations shared by the interaction concerns ---
    // Each of refresh(), renderMarks(), positionControls(), setNeedsDisplay() and
    // showFeedback() may reach an owner callback (a pin places its toolbar itself); they answer
    // false when the view did not survive it, and the caller must then stop.
    bool refresh();
    bool commitContent();
    void restoreContent();
    [[nodiscard]] std::vector<Annotation> visibleMarks() const;
    bool renderMarks();

    // --- Drawing ---
    [[nodiscard]] Rect sizeLabelFrame(const Rect& selection, double width) const;
    [[nodiscard]] std::vector<Point> markHandles(const Annotation& mark) const;
    [[nodiscard]] bool showsMarkHandles(const Annotation& mark) const;
    // The selection when it counts: present, with width and height above 0.
    [[nodiscard]] std::optional<Rect> countingSelection() const;

    // --- Chrome placement ---
    bool positionControls();
    void prepareToolbarLayout();
    [[nodiscard]] std::optional<PlacementContext> placementContext() const;
    [[nodiscard]] ToolbarPlacementModel::Frame editorPlacementFrame() const;
    void restoreToolbarTemporary();
    void hoverToolbar();
    // The toolbar's onHoverEnded: a hint shown by hovering goes with the pointer.
    void toolbarHoverEnded();
    void startToolbarReturnMonitor();
    [[nodiscard]] bool nearTemporaryToolbar(const Point& pointer, const ToolbarPlacementModel::Temporary& temporary) const;
    void positionDiscoveryHint(bool force);
    void positionShadows();
    void positionHint(bool available);
    // The toolbar's frame in this view's (widget) coordinates, wherever it lives.
    [[nodiscard]] Rect toolbarFrameInView() const;
    [[nodiscard]] Rect toolbarGlobalFrame() const;
    // The pointer in the placement model's coordinates.
    [[nodiscard]] Point placementPointer() const;

    // --- Loupe ---
    void updateLoupe(const Point& at, bool dragging);
    // Copies the colour under the pointer as text ("#RRGGBB"); a success ends the capture.
    void copySampledColor();

    // --- Style and marker commands ---
    // The property strip's requests. Each either previews without committing or commits
    // through the document's memory gate.
    // Puts a changed mark back where the draft holds the mark of that id; no commit, no redraw.
    void replace(const Annotation& mark);
    // The tool (and for a shape its kind) follow a picked mark; its style becomes the tool's,
    // except for a marker, whose style stays its own.
    void chooseStyle(const Annotation& mark);
    void chooseShape(Annotation::Kind kind);
    void changeNumber(int value);
    void changeDiameter(double diameter);
    void changeStyle(const AnnotationStyle& style, Annotation::Kind kind, bool preview);

    // --- Commands and output ---
    static const QString copySuccessMessage; // "已复制截图"
    static const QString saveSuccessMessage; // "已保存截图"
    // A command key: a tool's raw value, "undo", "redo", "copy", "save", "pin", "done", "exit".
    void performTool(const QString& key);
    void applyHistory(bool redo);
    void beginOutput(bool save);
    void finishSessionOutput(bool succeeded);
    // The single end of every output.
    void outputCompleted(const OutputResult& result, bool save);
    void restoreOutputFocusIfAllowed();
    void cancelOutput();
    void retryOutput();
    // --- Pointer interaction ---
    // The selection handle at a point: the eight handle points (7 on each axis) before the
    // edge bands (6), left before right, vertical edges before horizontal ones. Never in a pin.
    [[nodiscard]] std::optional<SelectionHandle> selectionHandle(const Point& at) const;
    // The topmost mark under a point, leaving out the text being edited.
    [[nodiscard]] std::optional<Annotation> markAt(const Point& p) const;
    // The topmost shown mark handle within 7 view pixels: the mark and the handle's index.
    [[nodiscard]] std::optional<std::pair<Annotation, int>> markHandle(const Point& at) const;
    void setResizeCursor(SelectionHandle handle);

    // --- Text entry ---
    // The open text editor; absent while no text is typed.
    CaptureTextView* textEditor() const;

    // --- Commands ---
    bool showFeedback(const QString& message);
    bool isComposingOutput() const { return m_compositionTask.isRunning(); }

    // --- Keys, scrolling and exit ---
    // The document's shape as the key policy knows it.
    Shape inputShape() const;
    void selectToolFromKeyboard(EditorInputPolicy::Tool tool);
    // Esc, the pill's exit button and the "exit" command: unwinds the first thing in progress,
    // and leaves only when nothing was.
    void exitCapture();

    // The one way to redraw after a state change: places the chrome, then schedules a repaint
    // of what the change can touch (the selection, its outline and handles, the size label,
    // before and after). Layout never runs while painting.
    bool setNeedsDisplay();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Keys, scrolling and exit
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Pointer interaction
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend struct EditorHostViewProbe; // tests

    // Construction
    void wireToolbar();
    void wireProperties();
    void unwireChrome();
    void buildFeedback();

    // Calls an owner callback; false when the view was destroyed meanwhile.
    template <typename Callback, typename... Args>
    bool notify(const Callback& callback, Args&&... args);

    // State queries
    bool mayInteract() const;
    bool outputBusy() const;
    bool busy() const;
    bool hasDocument() const;
    AnnotationStyle shownStyle(const std::optional<Annotation>& marker) const;
    std::optional<Annotation> selectedMarker() const;

    // Window lifecycle (platform handler names)
    void viewDidMoveToWindow();
    void windowResignedKey();
    void ownerWindowClosing();
    void resignFirstResponder();
    void stopTimers();
    void releaseAllKeys();

    // Drawing
    void draw(QPainter& painter);
    void drawSelectionChrome(QPainter& painter, const Rect& selection);
    void drawSizeLabel(QPainter& painter, const Rect& selection, const std::optional<QRectF>& area);
    void drawMarkHandles(QPainter& painter, const Annotation& mark);
    void drawLiveInk(QPainter& painter, const Rect& selection);
    bool handleIsHot(const Annotation& mark, int index) const;
    // What the selection-dependent layers cover, in widget coordinates.
    QRect selectionDamage() const;
    QString sizeLabelText(const Rect& selection) const;
    double sizeLabelWidth(const QString& text) const;
    // The last label measured: the text is shaped once, not at every paint.
    mutable std::pair<QString, double> m_sizeLabelWidth;

    // Chrome placement (platform handler names)
    void rightMouseDown(QMouseEvent* event);
    bool beginToolbarDrag();
    void dragToolbar();
    void endToolbarDrag();
    void returnMonitorTick();
    void hoverHintFired();
    void cancelHoverHint();
    void orderOutDiscoveryPanel();
    void moveToolbar(const Point& originInView);
    Rect toView(const Rect& documentRect) const;
    bool pointerOverToolbar() const;

    // Text entry, commands and keys
    bool commitText();
    void returnToCanvas();

    // Commands and output
    // Whether a failed output's toast may retry now.
    bool canRetryOutput() const;
    void startComposition(std::vector<Annotation> marks, QUuid token, OutputCoordinator::Permit permit,
                          QRect pixels, bool save);
    void composedOutput(const QImage& composite, const QRect& pixels, bool save);
    void rerenderAfterOutput();

    // Keys, scrolling and exit (platform handler names)
    void keyDown(QKeyEvent* event);
    void keyUp(QKeyEvent* event);
    // Claims the editor's Ctrl shortcuts before the application's shortcuts see them.
    bool performKeyEquivalent(QKeyEvent* event);
    void scrollWheel(QWheelEvent* event);
    EditorInputPolicy::Context inputContext() const;
    void cancelToolbarDrag();
    void deleteSelectedMark();

    // Pointer interaction (platform handler names)
    // What the handlers read of a pointer event: where it is in this widget and on screen.
    struct PointerEvent {
        QPointF position;       // widget coordinates
        QPointF globalPosition; // Qt's global coordinates, y down
        int clickCount = 1;
    };
    static PointerEvent pointerEvent(const QMouseEvent& event, int clickCount = 1);
    void mouseMoved(const PointerEvent& event);
    void mouseEntered(const PointerEvent& event);
    void mouseExited();
    // The pointer went from the canvas onto the chrome: no mark stays hovered.
    void pointerLeftCanvas();
    void mouseDown(const PointerEvent& event);
    void mouseDragged(const PointerEvent& event);
    void mouseUp(const PointerEvent& event);
    // The event's point in document points: unclamped (the loupe's), and clamped to the image.
    Point unclampedPoint(const PointerEvent& event) const;
    Point pointerPoint(const PointerEvent& event) const;
    void makeKeyAndFirstResponder();
    void setToolCursor();
    void beginNewMark(const Point& p);
    void placeMarker(const Point& p);
    void beginSelectionGeometry(ToolbarPlacementModel::GeometryGesture kind);
    // One drag step of a drawn mark; false when the pen's memory check ended the stroke.
    bool drawTo(gesture::Draw draw, const Point& p);
    // A mark drag repaints what it changed (the mark's old and new places, with handles) at
    // once and again when the new composite arrives, never the whole selection.
    void markChanged(const Annotation& before, const Annotation& after, bool drawnLive = false);
    void requestDragPreview();
    // Repaints the marks whose hover state changed.
    void hoverChanged(const std::optional<QUuid>& hovered, const std::optional<std::pair<QUuid, int>>& endpoint);
    void updateDocumentRect(const Rect& rect);

    // Text entry
    void beginText(const Point& at, const std::optional<Annotation>& mark);
    void textDidChange();
    void layoutTextEditor();
    void applyTextParagraph(CaptureTextView& textView, double fontSize);
    void cancelText();
    void resizeTextMark(size_t index);
    // Takes the editor off the view and forgets it; the keyboard comes back to the view.
    void closeTextEditor();
    AnnotationStyle textStyle() const;

    // Document and mode
    const std::shared_ptr<EditorDocument> m_record;
    const bool m_isPinned;
    bool m_isEditingEnabled = true;
    Environment m_environment;

    // Input suspension
    struct Suspension {
        bool inputSuspended = false;
        QPointer<QWidget> suspendedFieldEditor;
        QPointer<QWidget> suspendedResponder;
        bool suspendedEditorWasEditable = false;
    } m_suspension;

    // Pointer state
    struct Pointer {
        std::optional<EditorGesture> gesture;
        bool didDrag = false;
        bool pinMoveStarted = false;
        std::optional<QUuid> hoveredID;
        std::optional<std::pair<QUuid, int>> hoveredEndpoint;
        // What a mark drag changed since the last composite arrived, in document points.
        std::optional<Rect> pendingDamage;
        // The mark being drawn, shown before the composite holds it.
        LiveInk liveInk;
    } m_pointer;

    // Text entry. The editor scrolls its own text, so it is also the scroll view.
    struct TextEntry {
        QPointer<CaptureTextView> textEditor;
        QPointer<QWidget> textScroll;
        std::optional<QUuid> editingID;
        Point textOrigin;
        // Where the editor shows the text box: the origin pulled in from the edges.
        std::optional<Point> shownOrigin;
    } m_text;

    // Picture and chrome
    EditorPicture m_picture;
    struct Chrome {
        CaptureToolbar* toolbar = nullptr;
        ToolProperties* properties = nullptr;
        bool propertiesOpen = false;
        std::optional<Point> toolbarDragStart;
        QTimer returnTimer; // the return monitor's ticks
        std::optional<quint64> returnToken;
        QTimer hoverHintTimer;
        std::optional<Clock::time_point> returnOutsideSince;
        bool discoverySeen = false;
        bool hoverHintVisible = false;
        QPointer<DiscoveryHintPanel> discoveryPanel;
        CaptureLoupeView* loupe = nullptr;
        CaptureHint* captureHint = nullptr;
        OverlayChromeShadows* chromeShadows = nullptr;
        QLabel* feedback = nullptr;
        QPushButton* cancelOutputButton = nullptr;
        QPushButton* retryButton = nullptr;
    } m_chrome;
    EditorInputPolicy m_inputPolicy;

    // Loupe
    struct Loupe {
        std::optional<Point> pointerPoint;
        std::optional<QString> sampledHex;
    } m_loupe;

    // Output
    const std::shared_ptr<OutputService> m_output;
    const std::shared_ptr<OutputCoordinator> m_outputs;
    OutputToast m_outputToast;
    Point m_outputAnchor;
    std::optional<OutputCoordinator::Permit> m_outputPermit;
    bool m_lastOutputSave = false;
    std::optional<QUuid> m_sessionOutputToken;
    TaskHandle m_compositionTask;

    // Window observation and repaint bookkeeping
    QPointer<QWidget> m_observedWindow;
    QRect m_paintedDamage;
    double m_viewScale = 1;
    std::optional<Rect> m_shown; // the whole document when absent
};

template <typename Callback, typename... Args>
bool EditorHostView::notify(const Callback& callback, Args&&... args)
{
    if (!callback)
        return true;
    const QPointer<EditorHostView> self(this);
    callback(std::forward<Args>(args)...);
    return !self.isNull();
}

} // namespace vorlith
