#pragma once

#include "core/CaptureTool.h"

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace vorlith {

// What a plain key press means in the capture editor (pick a tool, cycle the shape, copy the
// image, delete the selected mark, copy the loupe's colour), and which keys are held or must
// be ignored until released, so that a held key acts once and the key that opened the capture
// does not act in the editor.
//
// Keys are identified by the platform's key code (on X11 the X key code). The caller passes
// the characters of the key itself, without modifier translation, and ignores the releases
// that auto-repeat generates: they are not real key-ups.
class EditorInputPolicy {
public:
    using Shape = vorlith::Shape;

    // A toolbar tool; the shape tool carries the shape it draws.
    class Tool {
    public:
        using Kind = CaptureTool;

        constexpr Tool() : m_kind(Kind::select), m_shape(Shape::roundedRectangle) {}
        // The tool of a kind; a shape tool draws `s`.
        static constexpr Tool of(Kind kind, Shape s = Shape::roundedRectangle) { return Tool(kind, s); }
        static constexpr Tool select() { return Tool(Kind::select); }
        static constexpr Tool shape(Shape s) { return Tool(Kind::shape, s); }
        static constexpr Tool arrow() { return Tool(Kind::arrow); }
        static constexpr Tool highlight() { return Tool(Kind::highlight); }
        static constexpr Tool pen() { return Tool(Kind::pen); }
        static constexpr Tool text() { return Tool(Kind::text); }
        static constexpr Tool mosaic() { return Tool(Kind::mosaic); }
        static constexpr Tool number() { return Tool(Kind::number); }

        constexpr Kind kind() const { return m_kind; }
        // The shape a shape tool draws; absent for every other tool.
        constexpr std::optional<Shape> drawnShape() const
        {
            return m_kind == Kind::shape ? std::optional(m_shape) : std::nullopt;
        }

        friend constexpr bool operator==(const Tool&, const Tool&) = default;

    private:
        constexpr explicit Tool(Kind kind, Shape s = Shape::roundedRectangle) : m_kind(kind), m_shape(s) {}

        Kind m_kind;
        Shape m_shape; // roundedRectangle unless a shape tool
    };

    enum class Phase : quint8 { inactive, preselection, selecting, editing, pinViewing };
    enum class Focus : quint8 { canvas, text, number, property, other };

    enum class Modifier : quint8 { command = 1, control = 2, option = 4, shift = 8 };
    // A set of modifier flags in one byte.
    struct Modifiers {
        quint8 rawValue = 0;

        constexpr Modifiers() = default;
        constexpr Modifiers(Modifier m) : rawValue(quint8(m)) {}
        constexpr Modifiers operator|(Modifiers o) const { return fromRaw(quint8(rawValue | o.rawValue)); }
        constexpr bool contains(Modifier m) const { return (rawValue & quint8(m)) != 0; }
        constexpr bool isEmpty() const { return rawValue == 0; }
        static constexpr Modifiers fromRaw(quint8 raw)
        {
            Modifiers m;
            m.rawValue = raw;
            return m;
        }
        friend constexpr bool operator==(Modifiers, Modifiers) = default;
    };

    // The editor's state for one decision.
    struct Context {
        explicit Context(Phase p) : phase(p) {}

        Phase phase;
        Focus focus = Focus::canvas;
        Tool currentTool = Tool::select();
        Shape recentShape = Shape::roundedRectangle;
        bool hasMarkedText = false;   // the focused text view holds uncommitted input-method text
        bool hasModal = false;        // a modal window is shown
        bool isOutputLocked = false;  // an output runs or holds the session's output lock
        bool isGesturing = false;     // a pointer gesture is in progress
        bool hasInvalidInput = false; // the property strip holds an invalid entry
        bool hasValidSample = false;  // the loupe has a sampled colour at the pointer
    };

    class Action {
    public:
        enum class Kind : quint8 { selectTool, copyColor, copyImage, deleteSelection };

        static constexpr Action selectTool(Tool t) { return Action(Kind::selectTool, t); }
        static constexpr Action copyColor() { return Action(Kind::copyColor); }
        static constexpr Action copyImage() { return Action(Kind::copyImage); }
        static constexpr Action deleteSelection() { return Action(Kind::deleteSelection); }

        constexpr Kind kind() const { return m_kind; }
        // The tool to select; absent for the other actions.
        constexpr std::optional<Tool> tool() const
        {
            return m_kind == Kind::selectTool ? std::optional(m_tool) : std::nullopt;
        }

        friend constexpr bool operator==(const Action&, const Action&) = default;

    private:
        constexpr explicit Action(Kind kind) : m_kind(kind) {}
        constexpr Action(Kind kind, Tool t) : m_kind(kind), m_tool(t) {}

        Kind m_kind;
        Tool m_tool; // select unless selectTool
    };

    EditorInputPolicy() = default;

    // Records the key as down, then decides. Absent when the key means nothing here, or is
    // held, suppressed, repeated, modified, or pressed while the context refuses keys.
    std::optional<Action> keyDown(quint16 keyID, const QString& characters, Modifiers modifiers,
                                  bool isRepeat, const Context& context);
    // The key is up: it acts normally on its next press, suppressed or not.
    void keyUp(quint16 keyID);
    // Forgets every held key (input suspended, focus lost); suppressions stay.
    void releaseAllKeys();
    // These keys do nothing until their next key-up, whether down now or not.
    void suppressUntilRelease(const QSet<quint16>& keyIDs);

    const QSet<quint16>& pressedKeys() const { return m_pressedKeys; }
    const QSet<quint16>& suppressedKeys() const { return m_suppressedKeys; }

private:
    static bool refusesKeys(const Context& context);
    static std::optional<Action> editingAction(const QString& characters, const Context& context);

    QSet<quint16> m_pressedKeys;
    QSet<quint16> m_suppressedKeys;
};

} // namespace vorlith
