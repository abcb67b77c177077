#pragma once

#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace vorlith::test {

// A shown, active window standing in for the editor: a canvas that takes the keyboard, with
// the toolbar and its embedded strip on it. Every callback is recorded.
struct ChromeFixture {
    QWidget canvas;
    CaptureToolbar* toolbar = nullptr;
    ToolProperties* strip = nullptr;
    QLineEdit* elsewhere = nullptr; // another control that takes the keyboard on a click

    std::vector<QString> actions;
    int pins = 0;
    std::vector<AnnotationStyle> changes;
    std::vector<AnnotationStyle> previews;
    std::vector<Annotation::Kind> shapeChoices;
    std::vector<int> numbers;
    std::vector<double> diameters;
    std::vector<QString> failures;
    int returns = 0;

    ChromeFixture()
    {
        canvas.resize(1000, 400);
        canvas.setFocusPolicy(Qt::StrongFocus);
        elsewhere = new QLineEdit(&canvas);
        elsewhere->setGeometry(20, 300, 100, 24);
        toolbar = new CaptureToolbar(&canvas);
        toolbar->move(20, 20);
        strip = new ToolProperties;
        toolbar->embedProperties(strip);
        toolbar->onAction = [this](const QString& key) { actions.push_back(key); };
        strip->onChange = [this](const AnnotationStyle& style, Annotation::Kind) { changes.push_back(style); };
        strip->onPreview = [this](const AnnotationStyle& style, Annotation::Kind) { previews.push_back(style); };
        strip->onShapeChoice = [this](Annotation::Kind kind) { shapeChoices.push_back(kind); };
        strip->onNumberChange = [this](int n) { numbers.push_back(n); };
        strip->onDiameterChange = [this](double d) { diameters.push_back(d); };
        strip->onValidationFailure = [this](const QString& m) { failures.push_back(m); };
        strip->onReturnToCanvas = [this] {
            ++returns;
            canvas.setFocus();
        };
        configure(CaptureTool::shape);
        canvas.show();
        canvas.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&canvas));
        canvas.setFocus();
    }

    void configure(CaptureTool tool, AnnotationStyle style = defaultStyle(), Annotation::Kind kind = Annotation::Kind::roundedRectangle)
    {
        strip->configure(tool, kind, style);
        toolbar->layoutEmbeddedProperties();
    }

    static AnnotationStyle defaultStyle()
    {
        return AnnotationStyle{.color = RGBA::Red, .width = 2, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
    }

    // Puts the text into a field as the user would: focus, select all, type.
    void type(ToolProperties::FieldRole role, const QString& text)
    {
        StripField* field = strip->field(role);
        ASSERT_TRUE(field);
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
        ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
};

} // namespace vorlith::test
