#include "core/EditorInputPolicy.h"

namespace vorlith {

namespace {

const QString kCarriageReturn(QChar(0x000D));
const QString kLineFeed(QChar(0x000A));
const QString kEndOfText(QChar(0x0003)); // keypad Enter on some keyboards
const QString kDelete(QChar(0x007F));
const QString kBackspace(QChar(0x0008));
const QString kForwardDelete(QChar(0xF728));

} // namespace

std::optional<EditorInputPolicy::Action> EditorInputPolicy::keyDown(quint16 keyID, const QString& characters,
                                                                    Modifiers modifiers, bool isRepeat,
                                                                    const Context& context)
{
    // Membership is read before the insert: a second key-down without a key-up is a held key.
    const bool wasDown = m_pressedKeys.contains(keyID);
    m_pressedKeys.insert(keyID);

    if (wasDown || m_suppressedKeys.contains(keyID) || isRepeat || !modifiers.isEmpty())
        return std::nullopt;
    if (refusesKeys(context))
        return std::nullopt;

    // Whole-string comparison: caps lock still counts as the letter, two characters match nothing.
    const QString key = characters.toLower();
    switch (context.phase) {
    case Phase::editing:
        return editingAction(key, context);
    case Phase::preselection:
        if (key == QLatin1String("c") && context.hasValidSample)
            return Action::copyColor();
        return std::nullopt;
    case Phase::inactive:
    case Phase::selecting:
    case Phase::pinViewing:
        break;
    }
    return std::nullopt;
}

bool EditorInputPolicy::refusesKeys(const Context& context)
{
    return context.focus != Focus::canvas || context.hasMarkedText || context.hasModal
        || context.isOutputLocked || context.isGesturing || context.hasInvalidInput;
}

std::optional<EditorInputPolicy::Action> EditorInputPolicy::editingAction(const QString& key,
                                                                          const Context& context)
{
    if (key.size() == 1) {
        if (const std::optional<CaptureTool> kind = captureTool::fromShortcutLetter(key.front())) {
            if (*kind != CaptureTool::shape)
                return Action::selectTool(Tool::of(*kind));
            // The shape key cycles the shapes while the shape tool is chosen.
            const std::optional<Shape> current = context.currentTool.drawnShape();
            return Action::selectTool(Tool::shape(current ? shape::next(*current) : context.recentShape));
        }
    }
    if (key == kCarriageReturn || key == kLineFeed || key == kEndOfText)
        return Action::copyImage();
    if (key == kDelete || key == kBackspace || key == kForwardDelete)
        return Action::deleteSelection();
    return std::nullopt;
}

void EditorInputPolicy::keyUp(quint16 keyID)
{
    m_pressedKeys.remove(keyID);
    m_suppressedKeys.remove(keyID);
}

void EditorInputPolicy::releaseAllKeys()
{
    m_pressedKeys.clear();
}

void EditorInputPolicy::suppressUntilRelease(const QSet<quint16>& keyIDs)
{
    m_suppressedKeys.unite(keyIDs);
}

} // namespace vorlith
