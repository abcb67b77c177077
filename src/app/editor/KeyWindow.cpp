#include "app/editor/KeyWindow.h"

#include "app/editor/CaptureOverlayWindow.h"

#include <QWidget>

namespace vorlith {

bool makeKeyWindow(QWidget* widget)
{
    QWidget* top = widget ? widget->window() : nullptr;
    if (!top)
        return false;
    if (auto* overlay = qobject_cast<CaptureOverlayWindow*>(top))
        return overlay->isKey() || overlay->makeKey();
    if (!top->isActiveWindow())
        top->activateWindow();
    return true;
}

} // namespace vorlith
