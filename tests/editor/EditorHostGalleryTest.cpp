// Renders the editor view in its states at scale 1, 1.5 and 2 into
// build/test-output/editor-host-*.png (looked at by eye), over a made-up desktop whose pixels
// match the scale, and samples a few pixels of each.
#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HostViewFixture.h"

#include <QLabel>
#include <QLinearGradient>
#include <QTest>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Probe = EditorHostViewProbe;

constexpr Size desktop{960, 600};

// A desktop with two windows, drawn at the given pixel density.
QImage desktopImage(double scale)
{
    QImage image((QSizeF(desktop.width, desktop.height) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, desktop.width, desktop.height);
    sky.setColorAt(0, QColor(52, 96, 140));
    sky.setColorAt(1, QColor(150, 110, 160));
    painter.fillRect(QRectF(0, 0, desktop.width, desktop.height), sky);
    const auto window = [&](QRectF frame, QColor title) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(248, 248, 246));
        painter.drawRoundedRect(frame, 8, 8);
        painter.setBrush(title);
        painter.drawRoundedRect(QRectF(frame.topLeft(), QSizeF(frame.width(), 28)), 8, 8);
        painter.setPen(QColor(60, 60, 60));
        for (int line = 0; line < 8; ++line)
            painter.drawLine(QPointF(frame.left() + 20, frame.top() + 50 + line * 18),
                             QPointF(frame.right() - 20 - (line % 3) * 40, frame.top() + 50 + line * 18));
    };
    window(QRectF(60, 60, 420, 300), QColor(210, 214, 205));
    window(QRectF(380, 200, 460, 320), QColor(196, 214, 232));
    return image;
}

struct Scene {
    QString name;
    std::function<void(HostViewFixture&, EditorHostView&)> setUp;
    bool pinned = false;
};

std::vector<Annotation> sampleMarks(const HostViewFixture& f)
{
    AnnotationStyle red = f.document->styles.value(CaptureTool::shape);
    red.opacity = 1;
    red.width = 3;
    Annotation box{QUuid::createUuid(), Annotation::Kind::roundedRectangle, {{260, 240}, {420, 330}}, red, QString(), 1};
    Annotation arrow{QUuid::createUuid(), Annotation::Kind::arrow, {{520, 380}, {440, 310}}, red, QString(), 1};
    AnnotationStyle marker = f.document->styles.value(CaptureTool::number);
    marker.opacity = 1;
    Annotation number = Annotation::numbered(1, {620, 260}, 26, marker);
    return {box, arrow, number};
}

const std::vector<Scene>& scenes()
{
    static const std::vector<Scene> all{
        {"window-pick", [](HostViewFixture&, EditorHostView& v) { v.updateLoupe({300, 150}, false); }},
        {"preselection",
         [](HostViewFixture& f, EditorHostView& v) {
             f.document->session.setSelection(Rect(380, 200, 460, 320));
             v.refresh();
             v.updateLoupe({600, 420}, true);
         }},
        {"editing",
         [](HostViewFixture& f, EditorHostView& v) {
             f.commitSelection(Rect(200, 150, 560, 300));
             const std::vector<Annotation> marks = sampleMarks(f);
             f.commitMarks(marks);
             f.document->tool = CaptureTool::shape;
             Probe::setPropertiesOpen(v, true);
             f.document->selectedMarkID = marks[0].id;
             Probe::hoverEndpoint(v, marks[1].id, 1);
             Probe::hover(v, marks[1].id);
             v.renderMarks();
             runUntil([&] { return f.document->compositor().cachedMarks().size() == 3; });
             v.refresh();
         }},
        {"feedback",
         [](HostViewFixture& f, EditorHostView& v) {
             f.commitSelection(Rect(300, 120, 400, 260));
             v.refresh();
             v.showFeedback(QStringLiteral("内存预算不足，本次修改未提交，已有内容已保留。"));
         }},
        {"lost-selection",
         [](HostViewFixture& f, EditorHostView& v) {
             f.document->session.setSelection(Rect(200, 150, 560, 300));
             v.canInteract = [] { return false; };
             v.refresh();
         }},
        {"pin-zoom-2",
         [](HostViewFixture& f, EditorHostView& v) {
             f.commitSelection(Rect(0, 0, desktop.width, desktop.height));
             const std::vector<Annotation> marks = sampleMarks(f);
             f.commitMarks(marks);
             f.document->selectedMarkID = marks[0].id;
             Probe::hover(v, marks[1].id);
             v.onPositionChrome = [](EditorHostView&) {};
             v.setViewScale(2);
             v.renderMarks();
             runUntil([&] { return f.document->compositor().cachedMarks().size() == 3; });
             v.refresh();
         },
         true},
    };
    return all;
}

// The pin scene shows the part of the zoomed view around the marks.
QImage cropped(const QImage& image, const QRect& logical)
{
    const double s = image.devicePixelRatio();
    QImage part = image.copy(QRect((QPointF(logical.topLeft()) * s).toPoint(), (QSizeF(logical.size()) * s).toSize()));
    part.setDevicePixelRatio(s);
    return part;
}

} // namespace

TEST(EditorHostGallery, EveryStateAtEveryScale)
{
    for (const double scale : {1.0, 1.5, 2.0}) {
        for (const Scene& scene : scenes()) {
            SCOPED_TRACE(scene.name.toStdString() + " @" + std::to_string(scale));
            HostViewFixture f(desktopImage(scale), desktop);
            std::unique_ptr<EditorHostView> view(f.make(scene.pinned));
            view->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
            scene.setUp(f, *view);
            QImage image = renderedView(*view, scale);
            if (scene.pinned)
                image = cropped(image, QRect(440, 400, 720, 420));
            saveTestImage(image, QStringLiteral("editor-host-%1-%2x").arg(scene.name).arg(scale));

            if (scene.name == QStringLiteral("editing")) {
                // The clear selection, the dimmed rest and the toolbar under the selection.
                const QColor inside = pixelAt(image, {230, 170});
                const QColor outside = pixelAt(image, {100, 100});
                EXPECT_GT(inside.lightness(), outside.lightness());
                EXPECT_FALSE(view->toolbar()->isHidden());
                EXPECT_FALSE(view->properties()->isHidden());
            }
            if (scene.name == QStringLiteral("lost-selection")) {
                EXPECT_TRUE(near(pixelAt(image, {500, 300}), dimmed(pixelAt(desktopImage(scale), {500, 300})), 3));
            }
        }
    }
}
