// A pin being edited, as its windows stand together on screen (image, ring with the text box's
// backing, strip, badge, toolbar), with a text box reaching past the image's right edge, and
// the pin's menu, at scale 1 and 2, into build/test-output/pin-editing-*.png (looked at by eye).
#include "app/editor/CaptureTextView.h"
#include "app/editor/EditorDocument.h"
#include "app/pins/PinDecorationView.h"
#include "pins/PinFixtures.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// The visible windows composited as a compositor shows them, bottom first, over a backdrop.
QImage composite(const std::vector<QWidget*>& bottomFirst, double scale)
{
    QRect area;
    for (QWidget* window : bottomFirst)
        if (window->isVisible())
            area |= window->geometry();
    area.adjust(-20, -20, 20, 20);
    QImage image((QSizeF(area.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(QColor(214, 218, 224));
    QPainter painter(&image);
    for (QWidget* window : bottomFirst) {
        if (!window->isVisible())
            continue;
        QImage own((QSizeF(window->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        own.setDevicePixelRatio(scale);
        own.fill(Qt::transparent);
        window->render(&own, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.drawImage(window->geometry().topLeft() - area.topLeft(), own);
    }
    return image;
}

QImage photo(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(236, 238, 232));
    painter.fillRect(QRect(0, size.height() * 2 / 3, size.width(), size.height()), QColor(70, 86, 104));
    painter.fillRect(QRect(20, 20, size.width() / 4, size.height() / 3), QColor(230, 120, 40));
    return image;
}

} // namespace

TEST(PinEditingGallery, EditingWithATextBoxPastTheImageAndTheMenu)
{
    struct Case {
        double scale;
        QSize size;
        QPointF at;
    };
    // A wide image, and one narrower than the text typed into it.
    const Case cases[] = {{1, {480, 300}, {400, 120}}, {2, {480, 300}, {400, 120}}, {1, {140, 90}, {60, 30}},
                          {2, {140, 90}, {60, 30}}};
    for (const auto& [scale, size, at] : cases) {
        SCOPED_TRACE(scale);
        PinFixture f(photo(size), Size{double(size.width()), double(size.height())});
        auto pin = f.pin(Rect(0, 0, size.width(), size.height()));
        pin->show();
        pin->onRequestEdit = [&](const QUuid&) {
            pin->beginEditing();
            return true;
        };
        pin->toggleEdit();
        ASSERT_TRUE(pin->isEditing);
        // A text begun near the right edge: its box reaches past the image.
        pin->host()->performTool(QStringLiteral("text"));
        const QPointF local = at;
        const QPointF global = pin->host()->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(pin->host(), &press);
        ASSERT_TRUE(pin->host()->textEditor());
        pin->host()->textEditor()->setText(QStringLiteral("贴图上的说明文字 reaching past"));
        pin->positionChrome();
        EXPECT_TRUE(pin->decoration()->textInputFrame.has_value());
        EXPECT_TRUE(pin->chromeWindow()->isVisible());
        const QImage editing = composite({pin->contentWindow(), pin->borderWindow(), pin->scaleWindow(),
                                          pin->controlsWindow(), pin->chromeWindow()},
                                         scale);
        saveTestImage(editing, QStringLiteral("pin-editing-text-%1-%2x").arg(size.width()).arg(scale));

        pin->host()->textEditor()->setText(QString());
        pin->showContextMenu(pin->contentWindow()->geometry().center());
        QMenu* menu = pin->contextMenu();
        ASSERT_TRUE(menu);
        QImage shown((QSizeF(menu->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        shown.setDevicePixelRatio(scale);
        shown.fill(Qt::white);
        menu->render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
        if (size.width() == 480)
            saveTestImage(shown, QStringLiteral("pin-editing-menu-%1x").arg(scale));
        menu->close();
    }
}
