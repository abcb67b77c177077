#include "app/shell/TerminationReviewView.h"

#include "app/base/InterfaceFonts.h"
#include "app/base/YUpSpace.h"
#include "app/editor/ImageCrop.h"
#include "rendering/Bitmap.h"

#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

constexpr const char* tagProperty = "tag";

double primaryPixelRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

// One edge of the cut in whole pixels, held to 0...limit (the image's extent).
int pixelEdge(double rounded, int limit)
{
    return int(std::clamp(rounded, 0.0, double(limit)));
}

} // namespace

TerminationReviewView::TerminationReviewView(QList<Entry> entries, QWidget* parent)
    : TerminationReviewView(std::move(entries), primaryPixelRatio(), parent)
{
}

TerminationReviewView::TerminationReviewView(QList<Entry> entries, double devicePixelRatio, QWidget* parent)
    : QScrollArea(parent), m_entries(std::move(entries))
{
    build(devicePixelRatio);
}

void TerminationReviewView::build(double devicePixelRatio)
{
    const int count = int(m_entries.size());
    const int contentHeight = count * rowHeight;
    setFrameShape(QFrame::NoFrame);
    setFixedSize(viewWidth, std::min(contentHeight, maxHeight));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(count > rowsWithoutScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);

    auto* content = new QWidget;
    content->setFixedSize(contentWidth, contentHeight);
    // Rows are laid out from the content's bottom edge up, so the first entry is at the top
    // and the 8-point gap stands above each button.
    const YUpSpace rows = YUpSpace::ofView(contentHeight);
    for (int i = 0; i < count; ++i) {
        const Entry& entry = m_entries[i];
        auto* button = new QToolButton(content);
        const Rect frame(0, (count - 1 - i) * rowHeight, contentWidth, buttonHeight);
        button->setGeometry(toQRectF(rows.toYDown(frame)).toRect());
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setIconSize(thumbnailSize);
        button->setIcon(QIcon(thumbnail(entry, devicePixelRatio)));
        button->setText(entry.title);
        button->setFont(InterfaceFonts::system(12));
        button->setProperty(tagProperty, i);
        button->setToolTip(QString::fromUtf8(rowToolTip));
        button->setAccessibleName(entry.title + QString::fromUtf8(accessibleSuffix));
        connect(button, &QToolButton::clicked, this, [this, button] { locate(button); });
        m_buttons.append(button);
    }

    setWidget(content);
    // The alert's ground shows through: setWidget() turns the content's fill on.
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

void TerminationReviewView::locate(const QObject* sender)
{
    if (!sender)
        return;
    bool isNumber = false;
    const int tag = sender->property(tagProperty).toInt(&isNumber);
    if (!isNumber || tag < 0 || tag >= m_entries.size())
        return;
    m_selectedID = m_entries[tag].id;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->done(abortedResponse);
}

QRect TerminationReviewView::cutRect(const Entry& entry)
{
    const QImage& image = entry.image;
    if (image.isNull())
        return {};
    const double scaleX = image.width() / entry.logicalSize.width;
    const double scaleY = image.height() / entry.logicalSize.height;
    const Rect selection = entry.selection.standardized();
    if (!(std::isfinite(scaleX) && scaleX > 0 && std::isfinite(scaleY) && scaleY > 0) || !selection.isFinite()
        || selection.isEmpty())
        return image.rect();
    // Rounded outward, then cut to the image.
    const int left = pixelEdge(std::floor(selection.minX() * scaleX), image.width());
    const int right = pixelEdge(std::ceil(selection.maxX() * scaleX), image.width());
    const int top = pixelEdge(std::floor(selection.minY() * scaleY), image.height());
    const int bottom = pixelEdge(std::ceil(selection.maxY() * scaleY), image.height());
    if (right <= left || bottom <= top)
        return image.rect();
    return QRect(left, top, right - left, bottom - top);
}

QPixmap TerminationReviewView::thumbnail(const Entry& entry, double devicePixelRatio)
{
    const double ratio = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage canvas = Bitmap::create(int(std::lround(thumbnailSize.width() * ratio)),
                                   int(std::lround(thumbnailSize.height() * ratio)));
    canvas.setDevicePixelRatio(ratio);
    const QRect cut = cutRect(entry);
    // The cut shares the image's pixels: a 4K screenshot is not copied to draw 100 × 60 points.
    const QImage part = ImageCrop::shared(entry.image, cut);
    if (!part.isNull() && !canvas.isNull()) {
        const double scale = std::min(thumbnailSize.width() / double(cut.width()),
                                      thumbnailSize.height() / double(cut.height()));
        const QSizeF fitted(cut.width() * scale, cut.height() * scale);
        const QRectF target(QPointF((thumbnailSize.width() - fitted.width()) / 2,
                                    (thumbnailSize.height() - fitted.height()) / 2),
                            fitted);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, part);
    }
    return QPixmap::fromImage(std::move(canvas));
}

} // namespace vorlith
