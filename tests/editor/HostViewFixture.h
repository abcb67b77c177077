#pragma once

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "output/ToastFixture.h"
#include "support/FakePasteboard.h"
#include "support/MarkFixtures.h"
#include "support/RenderingFixtures.h"
#include "support/TestSupport.h"

#include <QPainter>
#include "app/editor/CaptureTextView.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

// What tests set and read of an editor view's private state directly, without the pointer or
// the keyboard that set it in use.
struct EditorHostViewProbe {
    static void openText(EditorHostView& view, CaptureTextView* editor, std::optional<QUuid> editingID)
    {
        view.m_text.textEditor = editor;
        view.m_text.textScroll = editor;
        view.m_text.editingID = editingID;
    }
    static void hover(EditorHostView& view, std::optional<QUuid> id) { view.m_pointer.hoveredID = id; }
    static void hoverEndpoint(EditorHostView& view, QUuid id, int index) { view.m_pointer.hoveredEndpoint = {id, index}; }
    static void setPinMoveStarted(EditorHostView& view, bool started) { view.m_pointer.pinMoveStarted = started; }
    static QRect paintedDamage(const EditorHostView& view) { return view.m_paintedDamage; }
    static void setPropertiesOpen(EditorHostView& view, bool open) { view.m_chrome.propertiesOpen = open; }
    static void tickReturnMonitor(EditorHostView& view) { view.returnMonitorTick(); }
    // The return monitor has seen the pointer away (its away time is counted from then).
    static bool returnMonitorSawPointerAway(const EditorHostView& view) { return view.m_chrome.returnOutsideSince.has_value(); }
    static void resizeTextMark(EditorHostView& view, size_t index) { view.resizeTextMark(index); }
    // The user has summoned the toolbar once: the hint shows only on hover from then on.
    static void setDiscoverySeen(EditorHostView& view) { view.m_chrome.discoverySeen = true; }
    static bool suppressesKey(const EditorHostView& view, quint16 keyID)
    {
        return view.m_inputPolicy.suppressedKeys().contains(keyID);
    }
    // The view's drawing through a painter of the test's own (any transform).
    static void draw(EditorHostView& view, QPainter& painter) { view.draw(painter); }
};

namespace test {

inline Annotation boxMark(const Rect& r)
{
    return {QUuid::createUuid(), Annotation::Kind::roundedRectangle, {r.origin, {r.maxX(), r.maxY()}}, plainStyle,
            QString(), 1};
}

// One editor view over a 1440 × 900 point capture backed by 2880 × 1800 pixels of one light
// colour, with a driven clock and pointer, a fake clipboard and toasts on scripted screens.
struct HostViewFixture {
    static constexpr Size logical{1440, 900};
    static inline const QColor pictureColor{200, 220, 240};

    ToastFixture toasts;
    std::shared_ptr<FeedbackCoordinator> feedback = toasts.coordinator(nullptr);
    std::shared_ptr<OutputService> output = std::make_shared<OutputService>(std::make_shared<FakePasteboard>());
    std::shared_ptr<OutputCoordinator> outputs = std::make_shared<OutputCoordinator>();
    EditorHostView::Clock::time_point now{};
    QPointF pointer{-1000, -1000};
    bool modal = false;
    std::shared_ptr<EditorDocument> document;

    explicit HostViewFixture(QImage image = solidImage(QSize(2880, 1800), pictureColor), Size size = logical)
    {
        const EditorImageSource source{QUuid::createUuid(), image,
                                       CaptureGeometry{size, Size{double(image.width()), double(image.height())}}};
        document = std::make_shared<EditorDocument>(
            source, SaveDraft{}, EditorSession(QUuid::createUuid(), std::nullopt, DocumentOrigin::screenCapture));
    }

    EditorHostEnvironment environment()
    {
        EditorHostEnvironment e;
        e.now = [this] { return now; };
        e.globalPointer = [this] { return pointer; };
        e.modalWindowShown = [this] { return modal; };
        e.returnTick = std::chrono::milliseconds(5);
        e.hoverHintDelay = std::chrono::milliseconds(20);
        return e;
    }

    // Owned by the caller; tests that delete it inside a callback take it raw.
    EditorHostView* make(bool pinned = false)
    {
        return new EditorHostView(document, pinned, output, outputs, feedback, environment());
    }

    // Commits a selection: the session then has its document.
    void commitSelection(const Rect& selection)
    {
        document->session.setSelection(selection);
        ASSERT_TRUE(document->session.commit());
    }

    void commitMarks(std::vector<Annotation> marks)
    {
        document->session.beginEdit(EditorSession::EditKind::gesture);
        document->session.setAnnotations(std::move(marks));
        ASSERT_TRUE(document->session.commit());
    }

    void advance(std::chrono::milliseconds by) { now += by; }
};

// The view's own drawing, without its child widgets, at a device scale.
inline QImage drawnPicture(EditorHostView& view, double scale = 1)
{
    QImage image((QSizeF(view.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    view.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// The view with its chrome, at a device scale.
inline QImage renderedView(EditorHostView& view, double scale = 1)
{
    QImage image((QSizeF(view.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The colour at a logical point of an image drawn at some scale.
inline QColor pixelAt(const QImage& image, QPointF logical)
{
    const double s = image.devicePixelRatio();
    return image.pixelColor(int(logical.x() * s), int(logical.y() * s));
}

inline QColor dimmed(const QColor& under)
{
    const double a = 88.0 / 255;
    const QColor mask(0x18, 0x24, 0x1C);
    const auto mix = [a](int u, int m) { return int(std::lround(u * (1 - a) + m * a)); };
    return QColor(mix(under.red(), mask.red()), mix(under.green(), mask.green()), mix(under.blue(), mask.blue()));
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 2)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace test
} // namespace vorlith
