// The editor's keys and copy under a real X server: keys typed with xdotool reach the view by
// key code, and Ctrl+C puts a PNG on the real clipboard that another program (xclip) reads.
#include "editor/HostViewFixture.h"
#include "editor/X11EditorWindow.h"
#include "editor/Xdotool.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const QColor picture(40, 120, 90);
const Rect selection(100, 80, 420, 260);

AnnotationStyle markStyle(RGBA color)
{
    return AnnotationStyle{.color = color, .width = 6, .opacity = 1, .fontSize = 30, .mosaicSize = 16};
}

// An editor on the real clipboard in a top-level window with the keyboard, over a committed
// selection with an arrow and a numbered marker committed in two steps.
struct CopyStage {
    HostViewFixture f{solidImage(QSize(800, 500), picture), Size{800, 500}};
    std::unique_ptr<EditorHostView> view;
    Annotation arrow{QUuid::createUuid(), Annotation::Kind::arrow, {{150, 120}, {400, 300}},
                     markStyle(RGBA{0, 0.2, 1, 1}), QString(), 1};
    Annotation marker = Annotation::numbered(1, {450, 150}, 30, markStyle(RGBA::Red));

    CopyStage()
    {
        f.commitSelection(selection);
        f.commitMarks({arrow});
        f.commitMarks({arrow, marker});
        EditorHostEnvironment environment; // the real clock and pointer
        // No output service given: the view makes its own on the X clipboard.
        view = std::make_unique<EditorHostView>(f.document, false, nullptr, f.outputs, f.feedback, environment);
        showWithKeyboard(*view, QPoint(10, 10));
        view->renderMarks();
        EXPECT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks().size() == 2; }));
        spin(100ms);
    }

    std::optional<QImage> clipboardPng() const
    {
        QByteArray png;
        const int status = X11Environment::server()->run(
            QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                      QStringLiteral("image/png"), QStringLiteral("-o")},
            &png);
        QImage image;
        if (status != 0 || png.isEmpty() || !image.loadFromData(png, "PNG"))
            return std::nullopt;
        return image;
    }

    size_t marks() const { return f.document->session.annotations().size(); }
};

} // namespace

TEST(EditorCopyX11, CtrlCPutsTheSelectionAsPngOnTheClipboardForOtherPrograms)
{
    CopyStage stage;
    saveTestImage(renderedView(*stage.view), QStringLiteral("editor-copy-x11-before"));
    ASSERT_EQ(xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+c")}), 0);
    ASSERT_TRUE(runUntil([&] { return !stage.f.document->session.document()->isPendingOutput(); }, 10s));

    std::optional<QImage> png;
    ASSERT_TRUE(runUntil([&] { return (png = stage.clipboardPng()).has_value(); }, 10s));
    saveTestImage(*png, QStringLiteral("editor-copy-x11-clipboard"));
    EXPECT_EQ(png->size(), QSize(420, 260));
    // The arrow's colour halfway along it, in selection pixels; the picture in a far corner.
    EXPECT_TRUE(near(png->pixelColor(275 - 100, 210 - 80), QColor(0, 51, 255), 30)) << png->pixelColor(175, 130).name().toStdString();
    EXPECT_TRUE(near(png->pixelColor(10, 250), picture));
    // The marker's disc, beside its digit.
    EXPECT_TRUE(near(png->pixelColor(450 - 100 - 11, 150 - 80), QColor(255, 59, 48), 40))
        << png->pixelColor(339, 70).name().toStdString();
}

TEST(EditorCopyX11, UndoAndRedoByKeyWorkWithCapsLockOn)
{
    CopyStage stage;
    const auto key = [](const char* chord) {
        return xdotool({QStringLiteral("key"), QString::fromLatin1(chord)});
    };
    ASSERT_EQ(key("Caps_Lock"), 0);
    ASSERT_EQ(key("ctrl+z"), 0);
    EXPECT_TRUE(runUntil([&] { return stage.marks() == 1; }));
    ASSERT_EQ(key("ctrl+shift+z"), 0);
    EXPECT_TRUE(runUntil([&] { return stage.marks() == 2; }));
    ASSERT_EQ(key("Caps_Lock"), 0);
    // A tool letter picks the tool by its key.
    ASSERT_EQ(key("e"), 0);
    EXPECT_TRUE(runUntil([&] { return stage.f.document->tool == CaptureTool::arrow; }));
    spin(200ms);
    saveTestImage(renderedView(*stage.view), QStringLiteral("editor-copy-x11-arrow-tool"));
    saveTestImage(stage.view->screen()->grabWindow(0).toImage(), QStringLiteral("editor-copy-x11-arrow-tool-screen"));
}
