#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/CompletionSlider.h"
#include "app/editor/chrome/NumberStepper.h"
#include "app/editor/chrome/ShapeOptionButton.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/StripLabel.h"
#include "editor/ChromeFixture.h"

#include <QPointer>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Role = ToolProperties::FieldRole;

namespace {

ColorSwatch* swatchNamed(ToolProperties* strip, const QString& name)
{
    for (ColorSwatch* s : strip->swatches())
        if (s->accessibleName() == name)
            return s;
    return nullptr;
}

void clickCentre(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

} // namespace

TEST(ToolProperties, ParseTable)
{
    const struct {
        Role role;
        const char16_t* text;
        std::optional<double> value;
    } cases[] = {
        {Role::width, u"1", 1},        {Role::width, u"16", 16},     {Role::width, u"0", std::nullopt},
        {Role::width, u"17", std::nullopt}, {Role::width, u"007", 7}, {Role::width, u"", std::nullopt},
        {Role::width, u" 5", std::nullopt}, {Role::width, u"5 ", std::nullopt}, {Role::width, u"5.0", std::nullopt},
        {Role::width, u"-3", std::nullopt}, {Role::width, u"+3", std::nullopt}, {Role::width, u"\uFF15", std::nullopt},
        {Role::width, u"1e1", std::nullopt}, {Role::fontSize, u"12", 12}, {Role::fontSize, u"72", 72},
        {Role::fontSize, u"11", std::nullopt}, {Role::fontSize, u"73", std::nullopt}, {Role::number, u"1", 1},
        {Role::number, u"999", 999},    {Role::number, u"1000", std::nullopt}, {Role::diameter, u"16", 16},
        {Role::diameter, u"96", 96},    {Role::diameter, u"15", std::nullopt}, {Role::diameter, u"97", std::nullopt},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(ToolProperties::parsed(text, c.role), c.value) << int(c.role) << " '" << text.toStdString() << "'";
    }
    // So many digits that the number is not finite.
    EXPECT_FALSE(ToolProperties::parsed(QString(400, QLatin1Char('9')), Role::number));
    EXPECT_EQ(ToolProperties::invalidMessage(Role::width), "请输入 1～16 的整数");
    EXPECT_EQ(ToolProperties::invalidMessage(Role::fontSize), "请输入 12～72 的整数");
    EXPECT_EQ(ToolProperties::invalidMessage(Role::number), "请输入 1～999 的整数");
    EXPECT_EQ(ToolProperties::invalidMessage(Role::diameter), "请输入 16～96 的整数");
}

TEST(ToolProperties, ReturnAppliesAValidWidthAndKeepsTheKeyboardOnAnInvalidOne)
{
    ChromeFixture f;
    StripField* width = f.strip->field(Role::width);
    for (const char* bad : {"0", "17", "5.0", "-3"}) {
        SCOPED_TRACE(bad);
        f.failures.clear();
        f.type(Role::width, QString::fromLatin1(bad));
        QTest::keyClick(width, Qt::Key_Return);
        ASSERT_EQ(f.failures.size(), 1u);
        EXPECT_EQ(f.failures[0], "请输入 1～16 的整数");
        EXPECT_EQ(width->toolTip(), "请输入 1～16 的整数");
        EXPECT_TRUE(width->hasFocus());
        EXPECT_EQ(width->text(), QString::fromLatin1(bad)) << "invalid text stays";
        EXPECT_TRUE(f.strip->hasInvalidInput());
        EXPECT_TRUE(f.changes.empty());
        EXPECT_EQ(f.returns, 0);
    }
    f.type(Role::width, "16");
    QTest::keyClick(width, Qt::Key_Return);
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes[0].width, 16);
    EXPECT_EQ(f.strip->annotationStyle().width, 16);
    EXPECT_EQ(f.returns, 1);
    EXPECT_FALSE(width->hasFocus());
    EXPECT_TRUE(f.canvas.hasFocus());
    EXPECT_FALSE(f.strip->hasInvalidInput());
}

TEST(ToolProperties, AnInvalidFieldBlocksTheStripsControlsUntilEscapeRestoresIt)
{
    ChromeFixture f;
    StripField* width = f.strip->field(Role::width);
    f.type(Role::width, "abc");
    ASSERT_TRUE(width->hasFocus());

    clickCentre(swatchNamed(f.strip, "蓝"));
    EXPECT_EQ(f.failures.size(), 1u);
    clickCentre(f.strip->shapeButtons()[1]);
    EXPECT_EQ(f.failures.size(), 2u);
    NumberStepper* stepper = f.strip->stepper(Role::width);
    QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_TRUE(f.changes.empty());
    EXPECT_TRUE(f.shapeChoices.empty());
    EXPECT_EQ(f.strip->annotationStyle().color, RGBA::Red);
    EXPECT_EQ(stepper->value(), 2);
    EXPECT_EQ(f.failures.size(), 3u) << "each refused action says why";
    EXPECT_TRUE(width->hasFocus());
    EXPECT_EQ(width->text(), "abc");

    // Tab and a click on another control leave the keyboard in the field.
    QTest::keyClick(width, Qt::Key_Tab);
    EXPECT_TRUE(width->hasFocus());
    QTest::mouseClick(f.elsewhere, Qt::LeftButton);
    EXPECT_TRUE(runUntil([&] { return width->hasFocus(); }));

    QTest::keyClick(width, Qt::Key_Escape);
    EXPECT_EQ(width->text(), "2");
    EXPECT_EQ(f.returns, 1);
    EXPECT_TRUE(f.canvas.hasFocus());
    EXPECT_TRUE(f.changes.empty());

    clickCentre(swatchNamed(f.strip, "蓝"));
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes[0].color, (RGBA{0, 122 / 255.0, 1, 1}));
    EXPECT_TRUE(swatchNamed(f.strip, "蓝")->selected());
    EXPECT_FALSE(swatchNamed(f.strip, "红")->selected());
}

TEST(ToolProperties, TypedNumbersForTheSelectedMarkerAndAfterTheLastOne)
{
    ChromeFixture f;
    f.configure(CaptureTool::number);
    f.strip->setNumberContext(5, 3, 24);
    EXPECT_TRUE(f.strip->isEditingSelectedNumber());
    EXPECT_EQ(f.strip->field(Role::number)->accessibleName(), "当前编号");
    EXPECT_EQ(f.strip->field(Role::number)->text(), "3");
    f.type(Role::number, "999");
    QTest::keyClick(f.strip->field(Role::number), Qt::Key_Return);
    EXPECT_EQ(f.numbers, std::vector<int>{999});
    EXPECT_EQ(f.strip->selectedNumber(), 999);

    // Used up, nothing selected: an empty field passes and may lose the keyboard.
    f.strip->setNumberContext(std::nullopt, std::nullopt, 24);
    EXPECT_EQ(f.strip->field(Role::number)->accessibleName(), "下一编号");
    EXPECT_FALSE(f.strip->exhaustionLabel()->isHidden());
    EXPECT_EQ(f.strip->exhaustionLabel()->text(), "已到999，请设置下一编号");
    EXPECT_EQ(f.strip->field(Role::number)->text(), "");
    EXPECT_TRUE(f.strip->flushPendingInputs());
    EXPECT_FALSE(f.strip->hasInvalidInput());
    f.strip->focusNumberInput();
    EXPECT_TRUE(f.strip->field(Role::number)->hasFocus());
    QTest::mouseClick(f.elsewhere, Qt::LeftButton);
    EXPECT_TRUE(f.elsewhere->hasFocus());

    f.type(Role::number, "12");
    QTest::keyClick(f.strip->field(Role::number), Qt::Key_Return);
    EXPECT_EQ(f.numbers, (std::vector<int>{999, 12}));
    EXPECT_EQ(f.strip->nextNumber(), 12);
    EXPECT_TRUE(f.strip->exhaustionLabel()->isHidden());

    f.type(Role::diameter, "40");
    QTest::keyClick(f.strip->field(Role::diameter), Qt::Key_Return);
    EXPECT_EQ(f.diameters, std::vector<double>{40});
}

TEST(ToolProperties, AFieldReplacedWhileItsOwnReturnRunsIsReleasedLater)
{
    ChromeFixture f;
    f.configure(CaptureTool::number);
    // The owner answers a new number by selecting a marker: the strip rebuilds with the other
    // label while the field's Return handler is still on the stack.
    f.strip->onNumberChange = [&](int n) { f.strip->setNumberContext(n + 1, n, 24); };
    QPointer<StripField> old = f.strip->field(Role::number);
    f.type(Role::number, "7");
    QTest::keyClick(old.data(), Qt::Key_Return);
    EXPECT_TRUE(old) << "still alive inside its handler's turn";
    EXPECT_TRUE(old->isHidden());
    EXPECT_NE(f.strip->field(Role::number), old.data());
    EXPECT_TRUE(runUntil([&] { return old.isNull(); }));
    EXPECT_EQ(f.strip->field(Role::number)->text(), "7");
}

TEST(ToolProperties, HighlightAndMosaicSliders)
{
    ChromeFixture f;
    f.configure(CaptureTool::highlight);
    CompletionSlider* slider = f.strip->slider();
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->value(), 35);
    EXPECT_EQ(f.strip->numberLabel()->text(), "35%");
    f.configure(CaptureTool::mosaic);
    EXPECT_EQ(f.strip->numberLabel()->text(), "16");
    EXPECT_EQ(f.strip->numberText(35), "35");
}

TEST(ToolProperties, SliderDragPreviewsThenCommitsOnceOnRelease)
{
    ChromeFixture f;
    f.configure(CaptureTool::highlight);
    CompletionSlider* slider = f.strip->slider();
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(20, y));
    QTest::mouseMove(slider, QPoint(60, y));
    QTest::mouseMove(slider, QPoint(100, y));
    EXPECT_GE(f.previews.size(), 3u);
    EXPECT_TRUE(f.changes.empty()) << "nothing committed while dragging";
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(100, y));
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes[0].opacity, slider->value() / 100.0);
    EXPECT_EQ(f.strip->numberLabel()->text(), QString::number(slider->value()) + "%");
    EXPECT_GT(slider->value(), 60);

    // A click without movement commits once too.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(65, y));
    EXPECT_EQ(f.changes.size(), 2u);
}

TEST(ToolProperties, ALostSliderReleaseStillCommitsExactlyOnce)
{
    ChromeFixture f;
    f.configure(CaptureTool::mosaic);
    CompletionSlider* slider = f.strip->slider();
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(30, y));
    QTest::mouseMove(slider, QPoint(90, y));
    EXPECT_TRUE(slider->tracking());
    f.toolbar->hide(); // the release goes nowhere
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_FALSE(slider->tracking());
    f.toolbar->show();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(90, y));
    spin(20ms);
    EXPECT_EQ(f.changes.size(), 1u);

    // Disabled mid-drag: the same.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(30, y));
    slider->setEnabled(false);
    EXPECT_EQ(f.changes.size(), 2u);
}

TEST(ToolProperties, SliderArrowKeys)
{
    ChromeFixture f;
    f.configure(CaptureTool::mosaic, AnnotationStyle{.mosaicSize = 32});
    CompletionSlider* slider = f.strip->slider();
    int actions = 0, finishes = 0;
    slider->onAction = [&] { ++actions; };
    slider->onFinish = [&] { ++finishes; };
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), 32);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(finishes, 1);
    QTest::keyClick(slider, Qt::Key_Down);
    EXPECT_EQ(slider->value(), 31);
    EXPECT_EQ(finishes, 2);
    QTest::keyClick(slider, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(slider, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(slider->value(), 31) << "a modified arrow is someone else's";
    EXPECT_EQ(actions, 2);
    EXPECT_EQ(finishes, 2);
}

TEST(ToolProperties, StepperStepsRepeatsAndRespectsItsVeto)
{
    ChromeFixture f;
    NumberStepper* stepper = f.strip->stepper(Role::width);
    QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(7, 3));
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes[0].width, 3);
    EXPECT_EQ(f.strip->field(Role::width)->text(), "3");
    QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(7, stepper->height() - 3));
    EXPECT_EQ(f.strip->annotationStyle().width, 2);

    // Held: it repeats until released, and stops at the bound.
    QTest::mousePress(stepper, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_TRUE(runUntil([&] { return f.strip->annotationStyle().width >= 6; }, 3s));
    QTest::mouseRelease(stepper, Qt::LeftButton, {}, QPoint(7, 3));
    const double released = f.strip->annotationStyle().width;
    spin(200ms);
    EXPECT_EQ(f.strip->annotationStyle().width, released);

    int asked = 0;
    stepper->beforeInteraction = [&] {
        ++asked;
        return false;
    };
    const size_t changes = f.changes.size();
    QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(7, 3));
    stepper->setFocus();
    QTest::keyClick(stepper, Qt::Key_Up);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(stepper->value(), released);
    EXPECT_EQ(f.changes.size(), changes);
}

TEST(ToolProperties, ConfigureKeepsControlsForTheSameToolAndRebuildsForAnother)
{
    ChromeFixture f;
    QPointer<StripField> width = f.strip->field(Role::width);
    AnnotationStyle style = ChromeFixture::defaultStyle();
    style.width = 9;
    style.color = RGBA{1, 59 / 255.0, 48 / 255.0, 0.5};
    f.configure(CaptureTool::shape, style);
    EXPECT_EQ(f.strip->field(Role::width), width.data());
    EXPECT_EQ(width->text(), "9");
    for (ColorSwatch* s : f.strip->swatches())
        EXPECT_FALSE(s->selected()) << "a colour with alpha below 1 is none of the six";

    f.configure(CaptureTool::text, style);
    EXPECT_FALSE(f.strip->field(Role::width));
    ASSERT_TRUE(f.strip->field(Role::fontSize));
    EXPECT_EQ(f.strip->swatches().size(), 13u);
    EXPECT_TRUE(runUntil([&] { return width.isNull(); }));
    // No background: the "无底色" swatch is the selected one.
    EXPECT_TRUE(swatchNamed(f.strip, "无底色")->selected());
    clickCentre(swatchNamed(f.strip, "浅蓝"));
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes[0].background, (RGBA{0xDC / 255.0, 0xE9 / 255.0, 0xFC / 255.0, 1}));
    EXPECT_FALSE(swatchNamed(f.strip, "无底色")->selected());
}

TEST(ToolProperties, ShapeOptionReportsAndReselects)
{
    ChromeFixture f;
    clickCentre(f.strip->shapeButtons()[2]);
    EXPECT_EQ(f.shapeChoices, std::vector<Annotation::Kind>{Annotation::Kind::line});
    EXPECT_EQ(f.strip->kind(), Annotation::Kind::line);
    EXPECT_TRUE(f.strip->shapeButtons()[2]->selected());
    EXPECT_FALSE(f.strip->shapeButtons()[0]->selected());
}

TEST(ToolProperties, AParkedDraftComesBackWithItsSelection)
{
    ChromeFixture f;
    StripField* width = f.strip->field(Role::width);
    f.type(Role::width, "123");
    width->setSelection(1, 5);
    f.strip->preserveInputDraft();
    ASSERT_TRUE(f.strip->suspendedDraft());
    EXPECT_EQ(f.strip->suspendedDraft()->activeRole, Role::width);
    EXPECT_EQ(f.strip->suspendedDraft()->selection, (std::pair{1, 2}));
    f.canvas.setFocus();
    width->setText("2");
    f.strip->restoreInputDraft();
    EXPECT_FALSE(f.strip->suspendedDraft());
    EXPECT_TRUE(width->hasFocus());
    EXPECT_EQ(width->text(), "123");
    EXPECT_EQ(width->selectedText(), "23");
}
