// The editor's Qt-drawn controls under a dark desktop theme, and the fonts Qt's own controls and
// tool tips use: light and readable, in Simplified Chinese glyph forms, whatever the desktop.
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/StripField.h"
#include "editor/DarkApplicationPalette.h"
#include "editor/HostViewFixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTextLayout>
#include <QToolTip>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct Ink {
    int lightest = 0;
    int darkest = 255;
    double mean = 0;
};

Ink inkOf(const QImage& image)
{
    Ink ink;
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int gray = qGray(image.pixel(x, y));
            ink.lightest = std::max(ink.lightest, gray);
            ink.darkest = std::min(ink.darkest, gray);
            sum += gray;
        }
    }
    ink.mean = sum / std::max(1, image.width() * image.height());
    return ink;
}

// The family a run of text is drawn in with a font.
QString drawnFamily(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.isEmpty() ? QString() : runs.front().rawFont().familyName();
}

} // namespace

TEST(EditorAppearance, QtDrawnControlsStayLightAndReadableUnderADarkTheme)
{
    DarkApplicationPalette dark;
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 400, 300));
    f.document->tool = CaptureTool::pen;
    std::unique_ptr<EditorHostView> view(f.make());
    EditorHostViewProbe::setPropertiesOpen(*view, true);
    view->resize(1440, 900);
    view->show();
    ASSERT_TRUE(view->refresh());

    std::vector<std::pair<QString, QWidget*>> controls;
    for (StripField* field : view->findChildren<StripField*>())
        controls.emplace_back(QStringLiteral("strip field"), field);
    for (QPushButton* button : view->findChildren<QPushButton*>())
        controls.emplace_back(button->text(), button);
    ASSERT_GE(controls.size(), 3u); // the width field, "取消输出", "重试"
    for (auto& [name, control] : controls) {
        control->show();
        const QImage image = control->grab().toImage();
        saveTestImage(image, QStringLiteral("editor-dark-theme-%1").arg(control->metaObject()->className()));
        const Ink ink = inkOf(image);
        EXPECT_GT(ink.mean, 170) << name.toStdString() << ": the body is dark";
        EXPECT_LT(ink.darkest, 110) << name.toStdString() << ": no dark text on it";
    }
    // Tool tips are windows of their own.
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), InterfaceColors::white());
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText), InterfaceColors::ink());

    // The whole editor as the dark desktop shows it.
    for (auto& [name, control] : controls)
        control->setVisible(qobject_cast<StripField*>(control) != nullptr);
    saveTestImage(renderedView(*view), QStringLiteral("editor-dark-theme-view"));
}

TEST(EditorAppearance, QtControlsAndToolTipsUseTheInterfaceFontsWithChineseGlyphForms)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view(f.make());
    for (const QFont& font : {QApplication::font(), QToolTip::font(), QApplication::font("QPushButton")}) {
        EXPECT_EQ(font.families().value(0), QString::fromLatin1(InterfaceFonts::latinFamily));
        // Hanzi in the Simplified Chinese face, not the locale's fallback.
        EXPECT_EQ(drawnFamily(QStringLiteral("撤销"), font), QString::fromLatin1(InterfaceFonts::chineseFamily));
        EXPECT_EQ(drawnFamily(QStringLiteral("Ctrl"), font), QString::fromLatin1(InterfaceFonts::latinFamily));
    }
    EXPECT_EQ(QToolTip::font().pixelSize(), int(InterfaceFonts::toolTipPixelSize));
}
