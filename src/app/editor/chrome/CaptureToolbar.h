#pragma once

#include "app/editor/chrome/FloatingSurface.h"
#include "core/Annotation.h"
#include "core/CaptureTool.h"

#include <QHash>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QMouseEvent;

namespace vorlith {

class FilledLine;
class ToolButton;
class ToolProperties;

// The floating toolbar of the capture editor: the eight tools, undo and redo, the outputs and
// exit (or, in pinned-image editing, "done"), with the tool property strip under the main row.
// It reports presses as command keys and never edits anything itself; the editor pushes its
// state back through refresh() and setShapeKind(). The bar can be dragged by its background
// (and the strip's), which the editor uses to dock it elsewhere.
//
// Laid out y-up: a button's frame is measured from the bar's bottom-left corner.
class CaptureToolbar : public FloatingSurface {
    Q_OBJECT
public:
    explicit CaptureToolbar(QWidget* parent = nullptr);

    static constexpr double mainBarHeight = 63;

    // The key of every pressed button, except "pin" while onPin is set.
    std::function<void(const QString& key)> onAction;
    std::function<void()> onPin;
    // Asked on a press on the background: true starts a drag of the bar.
    std::function<bool(const QMouseEvent& event)> onDragBegan;
    std::function<void(const QMouseEvent& event)> onDragged;
    // The release that ends a drag; also called once, with a release made up at the last drag
    // position, when the real release is lost (the bar hidden, the grab broken).
    std::function<void(const QMouseEvent& event)> onDragEnded;
    // The pointer entered or moved over the bar.
    std::function<void()> onHover;
    // The pointer left the bar (its strip included).
    std::function<void()> onHoverEnded;

    // Selects the pinned-editing button set; call rebuildButtons() after changing it.
    bool isPinnedEditing = false;

    const QHash<QString, ToolButton*>& buttons() const { return m_buttons; }
    ToolButton* button(const QString& key) const { return m_buttons.value(key); }
    // The keys of the main row, left to right.
    const QStringList& buttonKeys() const { return m_buttonKeys; }
    const std::vector<FilledLine*>& separators() const { return m_separators; }
    double mainBarWidth() const { return m_mainBarWidth; }
    ToolProperties* embeddedProperties() const { return m_embeddedProperties; }
    Annotation::Kind shapeKind() const { return m_shapeKind; }
    CaptureTool activeTool() const { return m_activeTool; }
    bool canUndo() const { return m_canUndo; }
    bool canRedo() const { return m_canRedo; }
    bool busy() const { return m_busy; }
    bool dragging() const { return m_dragging; }

    void rebuildButtons();
    void refresh(CaptureTool tool, bool undo, bool redo, bool busy);
    // Kinds other than the three shapes are ignored.
    void setShapeKind(Annotation::Kind kind);
    void embedProperties(ToolProperties* strip);
    void layoutEmbeddedProperties();
    // The line between the strip and the main row (y-up), while a visible strip is embedded.
    [[nodiscard]] std::optional<Rect> propertySeparatorLine() const;
    // A click on an inactive window is taken only while no output runs.
    bool acceptsFirstMouse() const { return !m_busy; }

    // The bar drag, shared with the embedded strip's background. Each answers whether it took
    // the event; an event not taken goes on to the ordinary handling.
    bool barMousePress(QMouseEvent* event);
    bool barMouseMove(QMouseEvent* event);
    bool barMouseRelease(QMouseEvent* event);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void pressed(const QString& key);
    void endDrag(const QMouseEvent& release);
    void endLostDrag();

    QHash<QString, ToolButton*> m_buttons;
    QStringList m_buttonKeys;
    std::vector<FilledLine*> m_separators;
    double m_mainBarWidth = 0;
    QPointer<ToolProperties> m_embeddedProperties;
    Annotation::Kind m_shapeKind = Annotation::Kind::roundedRectangle;
    CaptureTool m_activeTool = CaptureTool::select;
    bool m_canUndo = false;
    bool m_canRedo = false;
    bool m_busy = false;
    bool m_dragging = false;
    // Where the drag was last seen, for a release that never comes.
    QPointF m_lastDragLocal;
    QPointF m_lastDragGlobal;
};

} // namespace vorlith
