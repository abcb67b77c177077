#include "app/editor/chrome/CaptureToolbar.h"

#include "app/base/InterfaceColors.h"
#include "app/base/SystemColors.h"
#include "app/editor/chrome/FilledLine.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/base/UnflippedFrame.h"
#include "core/ChordLabel.h"
#include "core/ShortcutSpec.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace vorlith {

namespace {

struct Entry {
    QString key;
    QString title;
    double width;
    QString toolTip;
};

// A button's tool tip with the chord that does the same: "撤销（Ctrl+Z）".
QString withChord(const QString& text, quint32 modifiers, const QString& keyName)
{
    return text + QStringLiteral("（") + chordLabel(modifiers, keyName) + QStringLiteral("）");
}

std::vector<Entry> entries(bool pinnedEditing)
{
    std::vector<Entry> list;
    for (CaptureTool tool : captureTool::allCases) {
        const QString title = captureTool::title(tool);
        list.push_back({captureTool::rawValue(tool), title, tool == CaptureTool::shape ? 62.0 : 44.0,
                        withChord(title, 0, captureTool::shortcutLetter(tool))});
    }
    list.push_back({QStringLiteral("undo"), QStringLiteral("撤销"), 44,
                    withChord(QStringLiteral("撤销"), ShortcutSpec::command, QStringLiteral("Z"))});
    list.push_back({QStringLiteral("redo"), QStringLiteral("重做"), 44,
                    withChord(QStringLiteral("重做"), ShortcutSpec::command | ShortcutSpec::shift, QStringLiteral("Z"))});
    if (!pinnedEditing)
        list.push_back({QStringLiteral("pin"), QStringLiteral("贴图"), 44, QStringLiteral("将当前截图置顶悬浮显示")});
    list.push_back({QStringLiteral("save"), QStringLiteral("保存"), 44, QStringLiteral("保存")});
    list.push_back({QStringLiteral("copy"), QStringLiteral("复制"), 57, withChord(QStringLiteral("复制图片"), 0, QStringLiteral("Enter"))});
    if (pinnedEditing)
        list.push_back({QStringLiteral("done"), QStringLiteral("Done"), 44, QStringLiteral("Done")});
    else
        list.push_back({QStringLiteral("exit"), QStringLiteral("退出"), 44, withChord(QStringLiteral("退出截图"), 0, QStringLiteral("Esc"))});
    return list;
}

// A separator comes before the history pair, the first output and the last button.
bool separatorBefore(const QString& key, bool pinnedEditing)
{
    return key == QStringLiteral("undo") || key == (pinnedEditing ? QStringLiteral("save") : QStringLiteral("pin")) || key == (pinnedEditing ? QStringLiteral("done") : QStringLiteral("exit"));
}

struct ShapeLook {
    QString title;
    QString icon;
};

std::optional<ShapeLook> shapeLook(Annotation::Kind kind)
{
    switch (kind) {
    case Annotation::Kind::roundedRectangle:
        return ShapeLook{QStringLiteral("圆角矩形"), QStringLiteral("shape")};
    case Annotation::Kind::ellipse:
        return ShapeLook{QStringLiteral("椭圆"), QStringLiteral("ellipse")};
    case Annotation::Kind::line:
        return ShapeLook{QStringLiteral("直线"), QStringLiteral("line")};
    default:
        return std::nullopt;
    }
}

bool stripShown(const ToolProperties* strip)
{
    return strip && !strip->isHidden();
}

} // namespace

CaptureToolbar::CaptureToolbar(QWidget* parent) : FloatingSurface(parent)
{
    setBorderColor(InterfaceColors::toolbarOuter());
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::OpenHandCursor);
    rebuildButtons();
}

void CaptureToolbar::rebuildButtons()
{
    for (ToolButton* button : std::as_const(m_buttons)) {
        button->hide();
        button->deleteLater();
    }
    for (FilledLine* line : m_separators) {
        line->hide();
        line->deleteLater();
    }
    m_buttons.clear();
    m_buttonKeys.clear();
    m_separators.clear();

    double x = 6;
    for (const Entry& entry : entries(isPinnedEditing)) {
        if (separatorBefore(entry.key, isPinnedEditing)) {
            auto* line = new FilledLine(systemColors::separator(), this);
            UnflippedFrame::place(line, Rect(x + 3, 16, 1, 27));
            line->show();
            m_separators.push_back(line);
            x += 10;
        }
        auto* button = new ToolButton(entry.key, entry.title, this);
        UnflippedFrame::place(button, Rect(x, 6, entry.width, ToolButton::buttonHeight));
        button->setPrimary(entry.key == QStringLiteral("copy"));
        button->setToolTip(entry.toolTip);
        const QString key = entry.key;
        connect(button, &QAbstractButton::clicked, this, [this, key] { pressed(key); });
        button->show();
        m_buttons.insert(entry.key, button);
        m_buttonKeys.append(entry.key);
        x += entry.width + 3;
    }
    m_mainBarWidth = x + 3;

    setShapeKind(m_shapeKind);
    layoutEmbeddedProperties();
    refresh(m_activeTool, m_canUndo, m_canRedo, m_busy);
}

void CaptureToolbar::refresh(CaptureTool tool, bool undo, bool redo, bool busy)
{
    m_activeTool = tool;
    m_canUndo = undo;
    m_canRedo = redo;
    m_busy = busy;
    const QString chosenKey = captureTool::rawValue(tool);
    for (ToolButton* button : std::as_const(m_buttons)) {
        button->setChosen(button->key == chosenKey);
        button->setEnabled(!busy);
        button->update();
    }
    if (ToolButton* b = button(QStringLiteral("undo")))
        b->setEnabled(!busy && undo);
    if (ToolButton* b = button(QStringLiteral("redo")))
        b->setEnabled(!busy && redo);
}

void CaptureToolbar::setShapeKind(Annotation::Kind kind)
{
    const std::optional<ShapeLook> look = shapeLook(kind);
    if (!look)
        return;
    m_shapeKind = kind;
    ToolButton* shapeButton = button(QStringLiteral("shape"));
    if (!shapeButton)
        return;
    shapeButton->setText(look->title);
    shapeButton->displayedIconName = look->icon;
    shapeButton->setAccessibleName(look->title);
    shapeButton->setToolTip(look->title + QStringLiteral("（W；再次按 W 切换形状）"));
    shapeButton->update();
}

void CaptureToolbar::embedProperties(ToolProperties* strip)
{
    if (strip != m_embeddedProperties) {
        if (m_embeddedProperties && m_embeddedProperties->parentWidget() == this)
            m_embeddedProperties->setParent(nullptr);
        m_embeddedProperties = strip;
        if (strip) {
            strip->setEmbedded(true);
            strip->setParent(this);
            strip->show();
        }
    }
    layoutEmbeddedProperties();
}

void CaptureToolbar::layoutEmbeddedProperties()
{
    const bool shown = stripShown(m_embeddedProperties);
    // Read before the bar resizes: its resize puts its children back at their recorded
    // frames, which would give a strip rebuilt since then its old size.
    const QSize stripSize = m_embeddedProperties ? m_embeddedProperties->size() : QSize();
    const double h = shown ? stripSize.height() + 7 : 0;
    const double w = shown ? stripSize.width() + 22 : 0;
    const QSize before = size();
    resize(int(std::max(w, m_mainBarWidth)), int(h + mainBarHeight));
    const bool resized = size() != before;
    bool moved = false;
    // Frames are measured from the bar's bottom: a new height moves every child.
    const auto placeAt = [&moved, resized](QWidget* widget, const Rect& frame) {
        if (!resized && UnflippedFrame::of(widget) == frame)
            return;
        UnflippedFrame::place(widget, frame);
        moved = true;
    };
    for (ToolButton* button : std::as_const(m_buttons)) {
        Rect frame = UnflippedFrame::of(button);
        frame.origin.y = h + 6;
        placeAt(button, frame);
    }
    for (FilledLine* line : m_separators) {
        Rect frame = UnflippedFrame::of(line);
        frame.origin.y = h + 16;
        placeAt(line, frame);
    }
    if (m_embeddedProperties)
        placeAt(m_embeddedProperties, Rect(11, 6, stripSize.width(), stripSize.height()));
    // The view places its chrome at every drag step: a layout that changes nothing repaints
    // nothing (the view beneath the bar would be repainted with it).
    if (moved || resized)
        update();
}

void CaptureToolbar::pressed(const QString& key)
{
    if (key == QStringLiteral("pin") && onPin) {
        onPin();
        return;
    }
    if (onAction)
        onAction(key);
}

bool CaptureToolbar::barMousePress(QMouseEvent* event)
{
    m_dragging = onDragBegan ? onDragBegan(*event) : false;
    if (!m_dragging)
        return false;
    m_lastDragLocal = mapFromGlobal(event->globalPosition());
    m_lastDragGlobal = event->globalPosition();
    setCursor(Qt::ClosedHandCursor);
    return true;
}

bool CaptureToolbar::barMouseMove(QMouseEvent* event)
{
    if (!m_dragging)
        return false;
    m_lastDragLocal = mapFromGlobal(event->globalPosition());
    m_lastDragGlobal = event->globalPosition();
    if (onDragged)
        onDragged(*event);
    return true;
}

bool CaptureToolbar::barMouseRelease(QMouseEvent* event)
{
    if (!m_dragging)
        return false;
    endDrag(*event);
    return true;
}

void CaptureToolbar::endDrag(const QMouseEvent& release)
{
    // Cleared first: the callback may hide the bar, which must not end the drag a second time.
    m_dragging = false;
    setCursor(Qt::OpenHandCursor);
    if (onDragEnded)
        onDragEnded(release);
}

void CaptureToolbar::endLostDrag()
{
    if (!m_dragging)
        return;
    const QMouseEvent release(QEvent::MouseButtonRelease, m_lastDragLocal, m_lastDragLocal, m_lastDragGlobal,
                              Qt::LeftButton, Qt::NoButton, QGuiApplication::keyboardModifiers());
    endDrag(release);
}

void CaptureToolbar::mousePressEvent(QMouseEvent* event)
{
    if (!barMousePress(event))
        event->ignore();
}

void CaptureToolbar::mouseMoveEvent(QMouseEvent* event)
{
    if (!barMouseMove(event))
        event->ignore();
}

void CaptureToolbar::mouseReleaseEvent(QMouseEvent* event)
{
    if (!barMouseRelease(event))
        event->ignore();
}

void CaptureToolbar::hideEvent(QHideEvent* event)
{
    // A hidden bar gets no release.
    endLostDrag();
    FloatingSurface::hideEvent(event);
}

bool CaptureToolbar::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        // A hover without a pressed button during a drag means the release went elsewhere.
        if (m_dragging && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
            endLostDrag();
        if (onHover)
            onHover();
        if (event->type() == QEvent::HoverEnter && !m_dragging)
            setCursor(Qt::OpenHandCursor);
        break;
    case QEvent::HoverLeave:
        if (onHoverEnded)
            onHoverEnded();
        break;
    case QEvent::UngrabMouse:
        endLostDrag();
        break;
    default:
        break;
    }
    return FloatingSurface::event(event);
}

void CaptureToolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintSurface(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());

    QPainterPath inner;
    inner.addRoundedRect(bounds.adjusted(1.5, 1.5, -1.5, -1.5), 12, 12);
    painter.setPen(QPen(InterfaceColors::toolbarInner(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(inner);

    const double h = height();
    QPainterPath grip;
    grip.addRoundedRect(UnflippedFrame::toYDown(Rect(bounds.center().x() - 13, h - 6, 26, 3), h), 1.5, 1.5);
    painter.fillPath(grip, InterfaceColors::dragHandle());

    if (const std::optional<Rect> line = propertySeparatorLine())
        painter.fillRect(UnflippedFrame::toYDown(*line, h), InterfaceColors::propertySeparator());
    // The strip's focus ring may reach past the strip's own edge: painted here, beneath the
    // strip's transparent body.
    if (stripShown(m_embeddedProperties)) {
        if (const std::optional<QRectF> ring = m_embeddedProperties->focusRing())
            ToolProperties::paintFocusRing(painter, ring->translated(m_embeddedProperties->pos()));
    }
}

std::optional<Rect> CaptureToolbar::propertySeparatorLine() const
{
    if (!stripShown(m_embeddedProperties))
        return std::nullopt;
    const double stripTop = 6 + m_embeddedProperties->height();
    return Rect(6, stripTop + 3, width() - 12, 1);
}

} // namespace vorlith
