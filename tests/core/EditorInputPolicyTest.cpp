#include "core/EditorInputPolicy.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vorlith;
using Policy = EditorInputPolicy;
using Action = Policy::Action;
using Context = Policy::Context;
using Modifier = Policy::Modifier;
using Phase = Policy::Phase;
using Shape = Policy::Shape;
using Tool = Policy::Tool;

namespace {

constexpr quint16 kKeyE = 26;
constexpr quint16 kKeyW = 25;

QString chars(char16_t c)
{
    return QString(QChar(c));
}

std::optional<Action> press(Policy& policy, quint16 key, const QString& characters,
                            const Context& context = Context(Phase::editing), Policy::Modifiers modifiers = {},
                            bool isRepeat = false)
{
    return policy.keyDown(key, characters, modifiers, isRepeat, context);
}

struct Row {
    const char* what;
    Phase phase;
    QString characters;
    std::function<void(Context&)> adjust;
    std::optional<Action> expected;
};

void keep(Context&) {}

} // namespace

TEST(EditorInputPolicy, DecidesOneFreshKeyPress)
{
    const auto tool = [](Tool t) { return std::optional(Action::selectTool(t)); };
    const auto current = [](Tool t) { return [t](Context& c) { c.currentTool = t; }; };
    const auto withSample = [](Context& c) { c.hasValidSample = true; };
    const std::optional<Action> none;
    const Phase editing = Phase::editing;
    const Phase preselection = Phase::preselection;

    const Row rows[] = {
        {"q", editing, "q", keep, tool(Tool::select())},
        {"w from select takes the recent shape", editing, "w", keep, tool(Tool::shape(Shape::roundedRectangle))},
        {"w cycles rounded rectangle", editing, "w", current(Tool::shape(Shape::roundedRectangle)),
         tool(Tool::shape(Shape::ellipse))},
        {"w cycles ellipse", editing, "w", current(Tool::shape(Shape::ellipse)), tool(Tool::shape(Shape::line))},
        {"w cycles line back", editing, "w", current(Tool::shape(Shape::line)),
         tool(Tool::shape(Shape::roundedRectangle))},
        {"w from pen takes the recent line", editing, "w",
         [](Context& c) {
             c.currentTool = Tool::pen();
             c.recentShape = Shape::line;
         },
         tool(Tool::shape(Shape::line))},
        {"caps-lock W", editing, "W", current(Tool::shape(Shape::roundedRectangle)), tool(Tool::shape(Shape::ellipse))},
        {"e", editing, "e", keep, tool(Tool::arrow())},
        {"r", editing, "r", keep, tool(Tool::highlight())},
        {"a", editing, "a", keep, tool(Tool::pen())},
        {"s", editing, "s", keep, tool(Tool::text())},
        {"d", editing, "d", keep, tool(Tool::mosaic())},
        {"caps-lock F", editing, "F", keep, tool(Tool::number())},
        {"carriage return", editing, chars(0x0D), keep, Action::copyImage()},
        {"line feed", editing, chars(0x0A), keep, Action::copyImage()},
        {"keypad enter", editing, chars(0x03), keep, Action::copyImage()},
        {"delete", editing, chars(0x7F), keep, Action::deleteSelection()},
        {"backspace", editing, chars(0x08), keep, Action::deleteSelection()},
        {"forward delete", editing, chars(0xF728), keep, Action::deleteSelection()},
        {"c while editing", editing, "c", withSample, none},
        {"two characters", editing, "qq", keep, none},
        {"no characters", editing, "", keep, none},
        {"unbound letter", editing, "x", keep, none},
        {"c with a sample", preselection, "c", withSample, Action::copyColor()},
        {"caps-lock C with a sample", preselection, "C", withSample, Action::copyColor()},
        {"c without a sample", preselection, "c", keep, none},
        {"tool letter before a selection", preselection, "e", withSample, none},
        {"return before a selection", preselection, chars(0x0D), keep, none},
        {"keypad enter before a selection", preselection, chars(0x03), keep, none},
        {"delete before a selection", preselection, chars(0x7F), keep, none},
        {"forward delete before a selection", preselection, chars(0xF728), keep, none},
        {"selecting", Phase::selecting, "e", withSample, none},
        {"c while selecting", Phase::selecting, "c", withSample, none},
        {"inactive", Phase::inactive, "e", keep, none},
        {"pin viewing", Phase::pinViewing, "e", keep, none},
        {"text editor open", editing, "e", [](Context& c) { c.focus = Policy::Focus::text; }, none},
        {"number field", editing, "e", [](Context& c) { c.focus = Policy::Focus::number; }, none},
        {"property field", editing, chars(0x7F), [](Context& c) { c.focus = Policy::Focus::property; }, none},
        {"other focus", editing, "e", [](Context& c) { c.focus = Policy::Focus::other; }, none},
        {"input method composing", editing, "e", [](Context& c) { c.hasMarkedText = true; }, none},
        {"modal window", editing, "e", [](Context& c) { c.hasModal = true; }, none},
        {"output locked", editing, chars(0x0D), [](Context& c) { c.isOutputLocked = true; }, none},
        {"output locked, tool", editing, "q", [](Context& c) { c.isOutputLocked = true; }, none},
        {"gesturing", editing, "e", [](Context& c) { c.isGesturing = true; }, none},
        {"invalid property input", editing, "e", [](Context& c) { c.hasInvalidInput = true; }, none},
        {"preselection colour while modal", preselection, "c",
         [](Context& c) {
             c.hasValidSample = true;
             c.hasModal = true;
         },
         none},
    };
    for (const Row& row : rows) {
        Context context(row.phase);
        row.adjust(context);
        Policy policy;
        EXPECT_EQ(press(policy, kKeyE, row.characters, context), row.expected) << row.what;
        EXPECT_TRUE(policy.pressedKeys().contains(kKeyE)) << row.what; // down, whatever the outcome
    }
}

TEST(EditorInputPolicy, AnyModifierRefusesTheKeyButItStillCountsAsDown)
{
    for (Modifier m : {Modifier::command, Modifier::control, Modifier::option, Modifier::shift}) {
        Policy policy;
        EXPECT_EQ(press(policy, kKeyE, "e", Context(Phase::editing), m), std::nullopt) << int(m);
        // The release of the modifier does not make the held key act.
        EXPECT_EQ(press(policy, kKeyE, "e"), std::nullopt) << int(m);
        policy.keyUp(kKeyE);
        EXPECT_EQ(press(policy, kKeyE, "e"), Action::selectTool(Tool::arrow())) << int(m);
    }
}

TEST(EditorInputPolicy, HeldKeyActsOnceUntilReleased)
{
    Policy policy;
    const auto arrow = std::optional(Action::selectTool(Tool::arrow()));
    EXPECT_EQ(press(policy, kKeyE, "e"), arrow);
    EXPECT_EQ(press(policy, kKeyE, "e", Context(Phase::editing), {}, /*isRepeat=*/true), std::nullopt);
    EXPECT_EQ(press(policy, kKeyE, "e"), std::nullopt); // a second key-down without a key-up

    // Another key's release does not release this one; another key acts meanwhile.
    policy.keyUp(kKeyW);
    EXPECT_EQ(press(policy, kKeyE, "e"), std::nullopt);
    EXPECT_EQ(press(policy, kKeyW, "w"), Action::selectTool(Tool::shape(Shape::roundedRectangle)));

    policy.keyUp(kKeyE);
    EXPECT_FALSE(policy.pressedKeys().contains(kKeyE));
    EXPECT_EQ(press(policy, kKeyE, "e"), arrow);
}

TEST(EditorInputPolicy, RepeatOfAReleasedKeyStillDoesNothing)
{
    Policy policy;
    EXPECT_EQ(press(policy, kKeyE, "e", Context(Phase::editing), {}, /*isRepeat=*/true), std::nullopt);
    EXPECT_TRUE(policy.pressedKeys().contains(kKeyE));
}

TEST(EditorInputPolicy, SuppressedKeyWaitsForItsOwnKeyUp)
{
    Policy policy;
    const auto arrow = std::optional(Action::selectTool(Tool::arrow()));
    policy.suppressUntilRelease({kKeyE});
    EXPECT_EQ(press(policy, kKeyE, "e"), std::nullopt); // even the first press

    policy.releaseAllKeys(); // forgets held keys, keeps the suppression
    EXPECT_TRUE(policy.pressedKeys().isEmpty());
    EXPECT_TRUE(policy.suppressedKeys().contains(kKeyE));
    EXPECT_EQ(press(policy, kKeyE, "e"), std::nullopt);

    policy.keyUp(kKeyE);
    EXPECT_TRUE(policy.suppressedKeys().isEmpty());
    EXPECT_EQ(press(policy, kKeyE, "e"), arrow);
}

TEST(EditorInputPolicy, ReleaseAllKeysLetsHeldKeysActAgain)
{
    Policy policy;
    const auto arrow = std::optional(Action::selectTool(Tool::arrow()));
    EXPECT_EQ(press(policy, kKeyE, "e"), arrow);
    policy.releaseAllKeys(); // e.g. the window lost focus and the key-up went elsewhere
    EXPECT_EQ(press(policy, kKeyE, "e"), arrow);
}

TEST(EditorInputPolicy, ShapeToolEqualityComparesTheShape)
{
    EXPECT_EQ(Tool::shape(Shape::line), Tool::shape(Shape::line));
    EXPECT_NE(Tool::shape(Shape::line), Tool::shape(Shape::ellipse));
    EXPECT_NE(Tool::shape(Shape::roundedRectangle), Tool::select());
    EXPECT_EQ(Tool::pen().drawnShape(), std::nullopt);
    EXPECT_EQ(Action::selectTool(Tool::text()).tool(), Tool::text());
    EXPECT_NE(Action::selectTool(Tool::select()), Action::copyImage());
}
