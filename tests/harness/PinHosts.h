#pragma once

// What the harness programs that show pins share: the services a pin's editor view stands on
// (the X11 window service, copy through the real clipboard, one output coordinator, feedback
// without toasts), the maker of its host and the pin's environment on the real desktop.

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/pins/PinEnvironment.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11Pasteboard.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <memory>

namespace vorlith::harness {

struct PinHostServices {
    std::shared_ptr<X11FloatingWindows> floating = std::make_shared<X11FloatingWindows>();
    std::shared_ptr<OutputService> output = std::make_shared<OutputService>(std::make_shared<X11Pasteboard>());
    std::shared_ptr<OutputCoordinator> outputs = std::make_shared<OutputCoordinator>();
    std::shared_ptr<FeedbackCoordinator> feedback = std::make_shared<FeedbackCoordinator>(nullptr);

    // A pinned editor view of the document; the pin's controller takes it.
    EditorHostView* makeHost(std::shared_ptr<EditorDocument> document) const
    {
        return new EditorHostView(std::move(document), true, output, outputs, feedback);
    }
    PinEnvironment environment() const { return PinEnvironment::system(floating); }
};

// A window's X id as xwininfo and xprop take it.
inline QString xid(const QWidget* widget)
{
    return QStringLiteral("0x%1").arg(quint64(widget->winId()), 0, 16);
}

// The baseline the pin benchmarks measure against: an image drawn scaled into one plain
// frameless window.
class PlainImage final : public QWidget {
public:
    explicit PlainImage(QImage image) : QWidget(nullptr, Qt::FramelessWindowHint), m_image(std::move(image)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_image);
    }

private:
    QImage m_image;
};

} // namespace vorlith::harness
