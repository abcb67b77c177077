// The editor's keys under other keyboard layouts, set on the real X server with setxkbmap:
// a key acts as the letter printed on it (French AZERTY, German QWERTZ), and a Russian
// keyboard, which types no Latin letters, acts by the US positions.
#include "core/CaptureTool.h"
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

const Rect selection(100, 80, 420, 260);

// Sets a layout on the test's server for the life of the guard; the US layout afterwards.
class LayoutGuard {
public:
    explicit LayoutGuard(const QString& layout) { set(layout); }
    ~LayoutGuard() { set(QStringLiteral("us")); }
    LayoutGuard(const LayoutGuard&) = delete;
    LayoutGuard& operator=(const LayoutGuard&) = delete;

private:
    static void set(const QString& layout)
    {
        EXPECT_EQ(X11Environment::server()->run(QStringLiteral("setxkbmap"), {layout}), 0) << layout.toStdString();
        // Qt reloads its keymap when the server announces the new keyboard.
        spin(std::chrono::milliseconds(300));
    }
};

// A top-level editor with the keyboard over a selection with two marks in two steps.
struct LayoutStage {
    HostViewFixture f{solidImage(QSize(800, 500), QColor(40, 120, 90)), Size{800, 500}};
    std::unique_ptr<EditorHostView> view;

    LayoutStage()
    {
        f.commitSelection(selection);
        f.commitMarks({penMark(150, 150)});
        f.commitMarks({penMark(150, 150), penMark(250, 200)});
        view = std::make_unique<EditorHostView>(f.document, false, f.output, f.outputs, f.feedback,
                                                EditorHostEnvironment{});
        showWithKeyboard(*view, QPoint(10, 10));
    }

    size_t marks() const { return f.document->session.annotations().size(); }
    CaptureTool tool() const { return f.document->tool; }
};

int key(const QString& chord)
{
    return xdotool({QStringLiteral("key"), chord});
}

struct LayoutCase {
    const char* layout;
    // The key symbol of each tool's printed letter in the toolbar's order (Q W E R A S D F),
    // and of Z, as the layout places them.
    std::array<const char*, 8> toolKeys;
    const char* zKey;
};

const LayoutCase kLayouts[] = {
    {"fr", {"q", "w", "e", "r", "a", "s", "d", "f"}, "z"},
    {"de", {"q", "w", "e", "r", "a", "s", "d", "f"}, "z"},
    // The Cyrillic letters on the keys where a US keyboard has Q W E R A S D F, and Z.
    {"ru",
     {"Cyrillic_shorti", "Cyrillic_tse", "Cyrillic_u", "Cyrillic_ka", "Cyrillic_ef", "Cyrillic_yeru", "Cyrillic_ve",
      "Cyrillic_a"},
     "Cyrillic_ya"},
};

} // namespace

TEST(EditorKeyboardLayoutX11, KeysActAsTheLettersTheLayoutPrintsOnThem)
{
    for (const LayoutCase& layout : kLayouts) {
        SCOPED_TRACE(layout.layout);
        LayoutStage stage;
        LayoutGuard guard(QString::fromLatin1(layout.layout));

        // Each toolbar letter (the button's tool tip shows it) picks its tool.
        for (size_t i = 0; i < captureTool::allCases.size(); ++i) {
            const CaptureTool tool = captureTool::allCases[i];
            const CaptureTool before = tool == CaptureTool::select ? CaptureTool::pen : CaptureTool::select;
            stage.f.document->tool = before;
            ASSERT_EQ(key(QString::fromLatin1(layout.toolKeys[i])), 0);
            EXPECT_TRUE(runUntil([&] { return stage.tool() == tool; }, std::chrono::milliseconds(2000)))
                << "the key of " << captureTool::shortcutLetter(tool).toLatin1() << " gave "
                << captureTool::rawValue(stage.tool()).toStdString();
        }
        // The pen is the key that types a (Q's place on AZERTY); the screen shows its strip.
        ASSERT_EQ(key(QString::fromLatin1(layout.toolKeys[4])), 0);
        ASSERT_TRUE(runUntil([&] { return stage.tool() == CaptureTool::pen; }));
        spin(std::chrono::milliseconds(150));
        saveTestImage(stage.view->screen()->grabWindow(0).toImage(),
                      QStringLiteral("editor-keys-x11-%1-pen").arg(QLatin1String(layout.layout)));

        ASSERT_EQ(key(QStringLiteral("ctrl+%1").arg(QLatin1String(layout.zKey))), 0);
        EXPECT_TRUE(runUntil([&] { return stage.marks() == 1; })) << "Ctrl+Z did not undo";
        ASSERT_EQ(key(QStringLiteral("ctrl+shift+%1").arg(QLatin1String(layout.zKey))), 0);
        EXPECT_TRUE(runUntil([&] { return stage.marks() == 2; })) << "Ctrl+Shift+Z did not redo";
    }
}
