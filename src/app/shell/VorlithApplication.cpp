#include "app/shell/VorlithApplication.h"

#include <QEvent>

namespace vorlith {

VorlithApplication::VorlithApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(false);
    setApplicationName(QStringLiteral("Vorlith"));
    setDesktopFileName(QStringLiteral("app.vorlith.Vorlith"));
}

bool VorlithApplication::event(QEvent* event)
{
    if (event->type() == QEvent::Quit && onQuitRequested) {
        event->accept();
        onQuitRequested();
        return true;
    }
    return QApplication::event(event);
}

} // namespace vorlith
