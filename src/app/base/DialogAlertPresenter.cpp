#include "app/base/DialogAlertPresenter.h"

#include "app/base/AlertDialog.h"
#include "platform/FloatingWindows.h"

#include <QGuiApplication>
#include <QScreen>

namespace vorlith {

DialogAlertPresenter::DialogAlertPresenter(std::shared_ptr<FloatingWindows> windows) : m_windows(std::move(windows)) {}

int DialogAlertPresenter::run(const Alert& alert)
{
    AlertDialog dialog(alert);
    dialog.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog.move(area.center() - QPoint(dialog.width() / 2, dialog.height() * 2 / 3));
    }
    if (m_windows)
        m_windows->placeDialog(&dialog, nullptr, WindowLevel::reviewAlert);
    // The grab is taken once the dialog is mapped (it is retried until then) and given back
    // when it hides.
    QMetaObject::invokeMethod(&dialog, [this, &dialog] {
        if (m_windows) {
            m_windows->activate(&dialog);
            m_windows->holdKeyboard(&dialog);
        }
    }, Qt::QueuedConnection);
    dialog.exec();
    if (m_windows)
        m_windows->releaseKeyboard(&dialog);
    return dialog.response();
}

} // namespace vorlith
