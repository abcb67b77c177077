#include "app/editor/DocumentRegistry.h"
#include "app/editor/EditorDocument.h"
#include "support/RenderingFixtures.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorlith;

namespace {

std::shared_ptr<EditorDocument> newDocument(const QImage& image = test::solidImage(QSize(300, 200)))
{
    const QUuid id = QUuid::createUuid();
    const EditorImageSource source{QUuid::createUuid(), image, CaptureGeometry{Size{200, 400.0 / 3}, Size{300, 200}}};
    return std::make_shared<EditorDocument>(source, SaveDraft{}, EditorSession(id, Rect(0, 0, 200, 100), DocumentOrigin::screenCapture));
}

} // namespace

TEST(EditorDocument, StartsWithTheSelectToolAndOneDefaultStylePerTool)
{
    const auto document = newDocument();
    EXPECT_EQ(document->tool, CaptureTool::select);
    EXPECT_EQ(document->shapeKind, Shape::roundedRectangle);
    EXPECT_FALSE(document->selectedMarkID.has_value());
    EXPECT_FALSE(document->canCommitSession);
    EXPECT_EQ(document->session.documentID(), document->id());
    ASSERT_EQ(document->styles.size(), 8);
    for (const CaptureTool tool : captureTool::allCases) {
        SCOPED_TRACE(captureTool::rawValue(tool).toStdString());
        const AnnotationStyle& style = document->styles.value(tool);
        EXPECT_EQ(style.color, tool == CaptureTool::highlight ? RGBA::Yellow : RGBA::Red);
        EXPECT_EQ(style.fontSize, tool == CaptureTool::number ? 24 : 28);
        EXPECT_EQ(style.width, 2);
        EXPECT_EQ(style.opacity, 0.35);
        EXPECT_EQ(style.mosaicSize, 16);
        EXPECT_FALSE(style.background.has_value());
    }
}

TEST(EditorDocument, CompositesItsSourceAtTheGeometrysLogicalSize)
{
    const QImage image = test::noiseImage(QSize(300, 200));
    const auto document = newDocument(image);
    const CompositeRenderer& compositor = document->compositor();
    EXPECT_EQ(compositor.source().cacheKey(), image.cacheKey());
    EXPECT_EQ(compositor.logicalSize(), (Size{200, 400.0 / 3}));
    EXPECT_EQ(compositor.cachedImage().cacheKey(), image.cacheKey());
    EXPECT_NE(compositor.renderDocumentID(), document->id());
}

TEST(DocumentRegistry, HoldsEachDocumentOnceUnderItsId)
{
    DocumentRegistry registry;
    const auto first = newDocument();
    const auto second = newDocument();
    registry.insert(first);
    registry.insert(first);
    EXPECT_EQ(registry.size(), 1);
    registry.insert(second);
    EXPECT_EQ(registry.size(), 2);
    EXPECT_EQ(registry.document(first->id()), first);
    EXPECT_EQ(registry.document(second->id()), second);
    EXPECT_EQ(registry.document(QUuid::createUuid()), nullptr);
    // The registry shares the document with whoever else shows it.
    EXPECT_EQ(first.use_count(), 2);

    const QUuid firstID = first->id();
    EXPECT_EQ(registry.removeWhere([&](const EditorDocument& d) { return d.id() == firstID; }), 1);
    EXPECT_FALSE(registry.contains(firstID));
    EXPECT_EQ(first.use_count(), 1);
    registry.remove(second->id());
    EXPECT_EQ(registry.size(), 0);
}
