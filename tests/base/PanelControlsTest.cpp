// The panel controls: their geometry rules, the switch's user changes, and every look at
// scale 1 and 2 (build/test-output/panel-controls-*.png), with pixels sampled from each.
#include "app/base/InterfaceColors.h"
#include "app/base/panel/BrandSwitch.h"
#include "app/base/panel/PanelFooterView.h"
#include "app/base/panel/PanelPopUpButton.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/base/panel/PanelSymbols.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QImage tinyImage()
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 40, 40));
    return image;
}

// Shows the control as a window of its own and gives it the keyboard, so it paints its ring.
void giveKeyboardFocus(QWidget& control)
{
    control.show();
    QApplication::setActiveWindow(&control);
    control.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(runUntil([&] { return control.hasFocus(); }));
}

} // namespace

TEST(PanelSecondaryButton, ContentLayoutFollowsImageAndTitle)
{
    PanelSecondaryButton button(QStringLiteral("下载"));
    button.resize(118, 28);

    // No image position: the title alone, centred in the bounds inset 10.
    button.setImage(tinyImage());
    EXPECT_FALSE(button.contentLayout().image);
    EXPECT_EQ(button.contentLayout().text, QRectF(10, 0, 98, 28));

    // An 8 × 8 image is enlarged to 16 × 16, at the left of the centred block.
    button.setImagePosition(PanelSecondaryButton::ImagePosition::leading);
    const auto small = button.contentLayout();
    ASSERT_TRUE(small.image);
    EXPECT_DOUBLE_EQ(small.image->width(), 16);
    EXPECT_DOUBLE_EQ(small.image->height(), 16);
    EXPECT_DOUBLE_EQ(small.image->y(), 6);
    EXPECT_DOUBLE_EQ(small.text.x(), small.image->x() + 24);
    EXPECT_NEAR(small.image->x() + (small.text.right() - small.image->x()) / 2, 59, 1e-9);

    // A title wider than the content: the block fills the content, the title is cut in the
    // middle, the image stays 16 wide at the block's left.
    button.setText(QStringLiteral("一个非常非常长的文件夹名称用来测试截断"));
    const auto wide = button.contentLayout();
    ASSERT_TRUE(wide.image);
    EXPECT_DOUBLE_EQ(wide.image->x(), 10);
    EXPECT_DOUBLE_EQ(wide.text.right(), 108);
    EXPECT_TRUE(button.displayedTitle().contains(QChar(0x2026)));
    EXPECT_TRUE(button.displayedTitle().startsWith(QStringLiteral("一个")));

    // A wide image keeps its proportions inside 16 × 16; an empty one is ignored.
    QImage strip(32, 8, QImage::Format_ARGB32_Premultiplied);
    button.setImage(strip);
    EXPECT_EQ(button.contentLayout().image->size(), QSizeF(16, 4));
    button.setImage(QImage());
    EXPECT_FALSE(button.contentLayout().image);
}

TEST(PanelPopUpButton, LongTitleStopsBeforeTheChevron)
{
    PanelPopUpButton popUp;
    popUp.resize(118, 28);
    popUp.addItems({QStringLiteral("PNG"), QStringLiteral("一个特别长的格式名称不会压住箭头")});
    EXPECT_EQ(popUp.displayedTitle(), QStringLiteral("PNG"));
    popUp.setCurrentIndex(1);
    EXPECT_TRUE(popUp.displayedTitle().contains(QChar(0x2026)));
    EXPECT_EQ(popUp.titleRect().x(), 10);
    EXPECT_LE(popUp.titleRect().right(), popUp.chevronRect().left());
    EXPECT_EQ(popUp.chevronRect(), QRectF(95, 7, 14, 14));
}

TEST(BrandSwitch, OnlyAcceptedUserChangesSendTheAction)
{
    BrandSwitch toggle;
    EXPECT_EQ(toggle.size(), QSize(38, 22));
    int actions = 0;
    toggle.onAction = [&](BrandSwitch& sender) {
        EXPECT_EQ(&sender, &toggle);
        ++actions;
    };

    // A set in code redraws and sends nothing.
    toggle.presentation().setOn(true);
    EXPECT_EQ(actions, 0);

    // A click flips and sends; Space too (keyboard focus by Tab).
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle.presentation().isOn());
    EXPECT_EQ(actions, 1);
    toggle.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&toggle, Qt::Key_Space);
    EXPECT_TRUE(toggle.presentation().isOn());
    EXPECT_EQ(actions, 2);

    // Refused: the old state stays and nothing is sent.
    toggle.acceptsUserChanges = false;
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(toggle.presentation().isOn());
    EXPECT_EQ(actions, 2);

    // The presentation's enabled state is the widget's; a disabled switch takes no clicks.
    toggle.acceptsUserChanges = true;
    toggle.presentation().setEnabled(false);
    EXPECT_FALSE(toggle.isEnabled());
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_EQ(actions, 2);

    // Without an action a user change only flips the state.
    toggle.presentation().setEnabled(true);
    toggle.onAction = nullptr;
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle.presentation().isOn());

    toggle.setAccessibilityLabel(QStringLiteral("登录时启动"));
    EXPECT_EQ(toggle.presentation().label(), QStringLiteral("登录时启动"));
    EXPECT_EQ(toggle.accessibleName(), QStringLiteral("登录时启动"));
}

TEST(PanelControlsGallery, EveryStateAtScaleOneAndTwo)
{
    const QColor backdrop(236, 238, 232);
    for (const double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> tiles;
        const auto add = [&](const QString& name, QWidget& w) {
            QImage image = renderAtScale(w, scale, 8, backdrop);
            tiles.push_back({name, image});
            return image;
        };

        PanelPrimaryButton primary(QStringLiteral("保存设置"));
        primary.resize(74, 28);
        const QImage primaryNormal = add(QStringLiteral("primary"), primary);
        EXPECT_TRUE(nearColor(pixelAt(primaryNormal, 4, 14, scale), InterfaceColors::brand()));
        primary.setDown(true);
        const QImage primaryPressed = add(QStringLiteral("primary pressed"), primary);
        EXPECT_TRUE(nearColor(pixelAt(primaryPressed, 4, 14, scale), InterfaceColors::brandPressed()));
        primary.setDown(false);
        primary.setEnabled(false);
        const QImage primaryDisabled = add(QStringLiteral("primary disabled"), primary);
        EXPECT_TRUE(nearColor(pixelAt(primaryDisabled, 4, 14, scale), InterfaceColors::brandDisabled()));
        // Rounded corners: the corner pixel shows the backdrop.
        EXPECT_TRUE(nearColor(pixelAt(primaryNormal, 0.2, 0.2, scale), backdrop, 12));
        primary.setEnabled(true);
        giveKeyboardFocus(primary);
        add(QStringLiteral("primary focused"), primary);

        PanelSecondaryButton secondary(QStringLiteral("取消"));
        secondary.resize(74, 28);
        const QImage secondaryNormal = add(QStringLiteral("secondary"), secondary);
        EXPECT_TRUE(nearColor(pixelAt(secondaryNormal, 5, 14, scale), InterfaceColors::panelBody()));
        EXPECT_TRUE(nearColor(pixelAt(secondaryNormal, 37, 0.6, scale), InterfaceColors::groupBorder(), 10));
        secondary.setDown(true);
        const QImage secondaryPressed = add(QStringLiteral("secondary pressed"), secondary);
        EXPECT_TRUE(nearColor(pixelAt(secondaryPressed, 5, 14, scale), InterfaceColors::hover()));
        secondary.setDown(false);
        secondary.setEnabled(false);
        add(QStringLiteral("secondary disabled"), secondary);

        PanelSecondaryButton folder(QStringLiteral("Downloads"));
        folder.resize(118, 28);
        folder.setImage(panelSymbols::folder());
        folder.setImagePosition(PanelSecondaryButton::ImagePosition::leading);
        add(QStringLiteral("secondary with folder"), folder);
        folder.setText(QStringLiteral("一个非常非常长的文件夹名称用来测试截断"));
        add(QStringLiteral("folder, long title"), folder);
        folder.setEnabled(false);
        add(QStringLiteral("folder, disabled"), folder);

        PanelSecondaryButton tiny(QStringLiteral("小图"));
        tiny.resize(118, 28);
        tiny.setImage(tinyImage());
        tiny.setImagePosition(PanelSecondaryButton::ImagePosition::leading);
        const QImage tinyShot = add(QStringLiteral("8x8 image enlarged"), tiny);
        const QRectF at = *tiny.contentLayout().image;
        EXPECT_TRUE(nearColor(pixelAt(tinyShot, at.x() + 1, at.y() + 1, scale), QColor(200, 40, 40), 12));
        EXPECT_TRUE(nearColor(pixelAt(tinyShot, at.right() - 1.5, at.bottom() - 1.5, scale), QColor(200, 40, 40), 12));
        tiny.setImagePosition(PanelSecondaryButton::ImagePosition::none);
        add(QStringLiteral("image not leading"), tiny);
        giveKeyboardFocus(tiny);
        add(QStringLiteral("secondary focused"), tiny);

        PanelPopUpButton popUp;
        popUp.resize(118, 28);
        popUp.addItems({QStringLiteral("PNG"), QStringLiteral("一个特别长的格式名称不会压住箭头")});
        const QImage popUpShot = add(QStringLiteral("pop-up"), popUp);
        EXPECT_TRUE(nearColor(pixelAt(popUpShot, 5, 14, scale), InterfaceColors::panelBody()));
        popUp.setCurrentIndex(1);
        add(QStringLiteral("pop-up, long title"), popUp);
        popUp.setEnabled(false);
        add(QStringLiteral("pop-up, disabled"), popUp);

        PanelFooterView footer;
        footer.resize(240, 59);
        const QImage footerShot = add(QStringLiteral("footer"), footer);
        EXPECT_TRUE(nearColor(pixelAt(footerShot, 100, 30, scale), InterfaceColors::settingsFooter()));
        if (scale == 2) {
            // The hairline is 0.5 high: exactly the top device row at scale 2.
            EXPECT_TRUE(nearColor(pixelAt(footerShot, 100, 0, scale), InterfaceColors::groupBorder()));
            EXPECT_TRUE(nearColor(pixelAt(footerShot, 100, 0.5, scale), InterfaceColors::settingsFooter()));
        }
        footer.setFillColor(InterfaceColors::panelBand());
        add(QStringLiteral("footer, band fill"), footer);

        BrandSwitch toggle;
        const QImage off = add(QStringLiteral("switch off"), toggle);
        EXPECT_TRUE(nearColor(pixelAt(off, 31, 11, scale), InterfaceColors::sliderTrack()));
        EXPECT_TRUE(nearColor(pixelAt(off, 11, 11, scale), InterfaceColors::white()));
        toggle.presentation().setOn(true);
        const QImage on = add(QStringLiteral("switch on"), toggle);
        EXPECT_TRUE(nearColor(pixelAt(on, 7, 11, scale), InterfaceColors::brand()));
        EXPECT_TRUE(nearColor(pixelAt(on, 27, 11, scale), InterfaceColors::white()));
        toggle.presentation().setEnabled(false);
        const QImage disabledOn = add(QStringLiteral("switch on, disabled"), toggle);
        EXPECT_TRUE(nearColor(pixelAt(disabledOn, 7, 11, scale), blended(InterfaceColors::brand(), 0.4, backdrop), 6));
        toggle.presentation().setOn(false);
        add(QStringLiteral("switch off, disabled"), toggle);
        toggle.presentation().setEnabled(true);
        giveKeyboardFocus(toggle);
        add(QStringLiteral("switch focused"), toggle);

        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("panel-controls-%1x").arg(int(scale)));
    }
}
