// PinWindowController: zooming, the context menu, the keyboard leaving the pin.
#include "app/pins/PinWindowController.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputService.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinGesture.h"
#include "platform/FloatingWindows.h"

#include <QEvent>
#include <QMenu>

namespace vorlith {

bool PinWindowController::outputBusy() const
{
    return (m_host && m_host->output().isBusy()) || m_document->session.isOutputLocked();
}

void PinWindowController::makeKey()
{
    if (m_isDisposed)
        return;
    windows().activate(m_contentWindow.get());
    m_content->setFocus(Qt::MouseFocusReason);
}

void PinWindowController::scale(double factor, const Point& around)
{
    if (isBlocked() || outputBusy())
        return;
    if (const std::optional<DocumentViewport> next = pinGesture::zoomed(m_viewport, factor, around))
        apply(*next);
}

void PinWindowController::resetScale()
{
    if (outputBusy() || captureSuspended || terminationSuspended)
        return;
    if (const std::optional<DocumentViewport> next = m_viewport.scaled(1, m_viewport.screenRect().center()))
        apply(*next);
}

void PinWindowController::showContextMenu(const QPoint& global)
{
    if (isBlocked())
        return;
    if (onRequestActivation && !onRequestActivation(m_document->id()))
        return;
    if (m_menu)
        m_menu->close();
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose, false);
    menu->setObjectName(QStringLiteral("pinContextMenu"));
    // "关闭" disposes this controller: the actions hold it weakly, and the menu goes later.
    const QPointer<PinWindowController> self(this);
    const std::pair<QString, void (PinWindowController::*)()> items[] = {
        {QStringLiteral("编辑"), &PinWindowController::toggleEdit},
        {QStringLiteral("复制"), &PinWindowController::copyPin},
        {QStringLiteral("保存…"), &PinWindowController::savePin},
        {QStringLiteral("恢复100%"), &PinWindowController::resetScale},
        {QStringLiteral("隐藏"), &PinWindowController::hidePin},
        {QStringLiteral("关闭"), &PinWindowController::closePin},
    };
    for (const auto& [title, action] : items)
        connect(menu->addAction(title), &QAction::triggered, menu, [self, action = action] {
            if (self)
                (self.data()->*action)();
        });
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    m_menu = menu;
    menu->popup(global);
}

QMenu* PinWindowController::contextMenu() const
{
    return m_menu;
}

void PinWindowController::windowDidResignKey()
{
    m_content->cancelGesture();
    if (m_host)
        m_host->cancelPinMove();
}

bool PinWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_contentWindow.get() && event->type() == QEvent::ActivationChange
        && !m_contentWindow->isActiveWindow())
        windowDidResignKey();
    return QObject::eventFilter(watched, event);
}

} // namespace vorlith
