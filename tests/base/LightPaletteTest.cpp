#include "app/base/LightPalette.h"

#include "app/base/InterfaceColors.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

// A desktop theme's dark palette, set on the application as a platform theme would.
QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::ToolTipBase, QColor(0x10, 0x10, 0x10));
    dark.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
    return dark;
}

struct ScopedApplicationPalette {
    explicit ScopedApplicationPalette(const QPalette& palette)
        : saved(QApplication::palette())
        , savedToolTip(QToolTip::palette())
    {
        QApplication::setPalette(palette);
    }
    ~ScopedApplicationPalette()
    {
        QApplication::setPalette(saved);
        QToolTip::setPalette(savedToolTip);
    }
    QPalette saved;
    QPalette savedToolTip;
};

int lightness(QRgb pixel) { return QColor(pixel).lightness(); }

} // namespace

TEST(LightPalette, QtControlsStayLightUnderADarkDesktopPalette)
{
    ScopedApplicationPalette dark(darkPalette());

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(QStringLiteral("12"), &window);
    auto* button = new QPushButton(QStringLiteral("重试"), &window);
    layout->addWidget(field);
    layout->addWidget(button);
    window.resize(200, 90);
    applyLightPalette(window);

    // The palette reaches children, the tool tips and every colour group a control may be
    // painted in (an inactive window, a disabled field).
    for (QWidget* widget : {static_cast<QWidget*>(field), static_cast<QWidget*>(button)}) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            EXPECT_GT(widget->palette().color(group, QPalette::Base).lightness(), 200);
            EXPECT_GT(widget->palette().color(group, QPalette::Button).lightness(), 200);
            EXPECT_LT(widget->palette().color(group, QPalette::Text).lightness(), 140);
        }
    }
    EXPECT_EQ(field->palette().color(QPalette::Text), InterfaceColors::ink());
    EXPECT_GT(QToolTip::palette().color(QPalette::ToolTipBase).lightness(), 200);
    EXPECT_LT(QToolTip::palette().color(QPalette::ToolTipText).lightness(), 140);

    const QImage image = window.grab().toImage();
    test::saveTestImage(image, QStringLiteral("light-palette-under-dark-theme"));
    // Inside the field, away from its text and frame: the light base.
    const QRect fieldRect = field->geometry();
    const QPoint inside = fieldRect.topLeft() + QPoint(fieldRect.width() - 12, fieldRect.height() / 2);
    EXPECT_GT(lightness(image.pixel(inside * image.devicePixelRatio())), 200);
}
