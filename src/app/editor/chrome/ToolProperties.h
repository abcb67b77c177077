#pragma once

#include "app/editor/chrome/FloatingSurface.h"
#include "core/Annotation.h"
#include "core/CaptureTool.h"
#include "core/Geometry.h"

#include <QPointer>
#include <QRectF>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class QPainter;

namespace vorlith {

class ColorSwatch;
class CompletionSlider;
class NumberStepper;
class ShapeOptionButton;
class StripField;
class StripLabel;

// The strip's two swatch tables and its shape choices.
namespace propertyStrip {

struct Swatch {
    std::optional<RGBA> color;
    QString name;
};

struct ShapeOption {
    Annotation::Kind kind;
    QString title;
    QString iconName;
};

// The six colours of the palette, then the seven text backgrounds (the first is none).
[[nodiscard]] const std::array<Swatch, 6>& palette();
[[nodiscard]] const std::array<Swatch, 7>& backgrounds();
[[nodiscard]] const std::array<ShapeOption, 3>& shapeOptions();

} // namespace propertyStrip

// The strip of controls for the current tool under the toolbar's main row: shape choice,
// palette, line width, font size and text background, highlight opacity, mosaic grain, marker
// number and diameter. It keeps a copy of the tool's style and reports every change to its
// owner, which pushes state back through configure() and setNumberContext().
//
// Typed numbers follow one rule: nothing else may happen while a field holds text that is not
// a whole number in range. flushPendingInputs() validates and applies every field; when a field
// is invalid it keeps the keyboard, reports its message and answers false, and every control
// of the strip does nothing. The owner calls it before its own actions too.
//
// Laid out y-up inside a strip 47 high.
class ToolProperties : public FloatingSurface {
    Q_OBJECT
public:
    enum class FieldRole { width = 0, fontSize = 1, number = 2, diameter = 3 };
    struct FieldRange {
        double min;
        double max;
    };
    [[nodiscard]] static FieldRange range(FieldRole role);

    struct SuspendedDraft {
        std::map<FieldRole, QString> values;
        std::optional<FieldRole> activeRole;
        std::optional<std::pair<int, int>> selection; // start, length
    };

    static constexpr double stripHeight = 47;
    static constexpr int backgroundTag = 100;
    // The room the exhaustion notice takes beyond the controls (12 + 145).
    static constexpr double exhaustionRoom = 157;

    explicit ToolProperties(QWidget* parent = nullptr);

    std::function<void(const AnnotationStyle& style, Annotation::Kind kind)> onChange;
    std::function<void(const AnnotationStyle& style, Annotation::Kind kind)> onPreview;
    std::function<void(Annotation::Kind kind)> onShapeChoice;
    std::function<void(int number)> onNumberChange;
    std::function<void(double diameter)> onDiameterChange;
    std::function<void(const QString& message)> onValidationFailure;
    std::function<void()> onReturnToCanvas;

    bool isEmbedded() const { return m_embedded; }
    void setEmbedded(bool embedded);

    bool isEditingSelectedNumber() const { return m_editingSelectedNumber; }
    std::optional<int> nextNumber() const { return m_nextNumber; }
    std::optional<int> selectedNumber() const { return m_selectedNumber; }
    double diameter() const { return m_diameter; }
    // The current tool's style (not `style()`: QWidget has its own).
    const AnnotationStyle& annotationStyle() const { return m_style; }
    Annotation::Kind kind() const { return m_kind; }
    CaptureTool tool() const { return m_tool; }
    StripField* field(FieldRole role) const;
    NumberStepper* stepper(FieldRole role) const;
    const std::map<FieldRole, Rect>& fieldFrames() const { return m_fieldFrames; }
    CompletionSlider* slider() const { return m_slider; }
    StripLabel* numberLabel() const { return m_numberLabel; }
    StripLabel* exhaustionLabel() const { return m_exhaustionLabel; }
    const std::vector<ColorSwatch*>& swatches() const { return m_swatches; }
    const std::vector<ShapeOptionButton*>& shapeButtons() const { return m_shapeButtons; }
    double contentWidth() const { return m_contentWidth; }
    bool committingNumber() const { return m_committingNumber; }
    const std::optional<SuspendedDraft>& suspendedDraft() const { return m_suspendedDraft; }

    void configure(CaptureTool tool, Annotation::Kind kind, const AnnotationStyle& style);
    void setNumberContext(std::optional<int> nextNumber, std::optional<int> selectedNumber, double diameter);
    [[nodiscard]] bool flushPendingInputs();
    bool hasInvalidInput() const;
    void cancelPendingInputs();
    void preserveInputDraft();
    void restoreInputDraft();
    void focusNumberInput();

    // The focus ring around the box of the field (or stepper) that has the keyboard, in the
    // strip's coordinates. It reaches 4 beyond the box, past the strip's right edge for the
    // last field, so an embedding toolbar paints it rather than the strip.
    [[nodiscard]] std::optional<QRectF> focusRing() const;
    static void paintFocusRing(QPainter& painter, const QRectF& ring);

    // A click on an inactive window is taken only while the enclosing toolbar is not busy.
    bool acceptsFirstMouse() const;

    // The control actions.
    void colorChanged(ColorSwatch* swatch);
    void backgroundChanged(ColorSwatch* swatch);
    void shapeChanged(ShapeOptionButton* button);
    void sliderChanged(CompletionSlider* slider);
    void numberStepped(NumberStepper* stepper);

    // Text to value: digits only, finite, within the role's range.
    [[nodiscard]] static std::optional<double> parsed(const QString& text, FieldRole role);
    // "请输入 " + min + "～" + max + " 的整数".
    [[nodiscard]] static QString invalidMessage(FieldRole role);
    // The slider read-out: "35%" for the highlighter, "35" otherwise.
    [[nodiscard]] QString numberText(double value) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    template <typename T> T* adopt(T* control);
    void rebuild();
    void addSeparator(double& x);
    void addLabel(double& x, const QString& text, double minimumWidth);
    void addSwatches(double& x, std::span<const propertyStrip::Swatch> table, int tag);
    void addShapeOptions(double& x);
    void addField(FieldRole role, const QString& name, double& x, double width);
    void addSliderBlock(double& x, const QString& label, double value, int minimum, int maximum);
    void addExhaustionLabel(double x);

    std::optional<double> value(FieldRole role) const;
    void apply(double value, FieldRole role);
    void reportInvalid(FieldRole role);
    bool mayEndEditing(FieldRole role);
    void endedEditing(FieldRole role);
    void holdClicksFor(QWidget* field);
    void refreshFocusRing();
    bool numbersUsedUp() const;
    bool skipsEmpty(FieldRole role, const QString& text) const;
    double sliderValue() const;
    void syncControls();
    void updateContentWidth();
    void returnToCanvas();

    bool m_embedded = false;
    bool m_editingSelectedNumber = false;
    std::optional<int> m_nextNumber = 1;
    std::optional<int> m_selectedNumber;
    double m_diameter = 24;
    AnnotationStyle m_style{.color = RGBA::Red, .width = 2, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
    Annotation::Kind m_kind = Annotation::Kind::roundedRectangle;
    CaptureTool m_tool = CaptureTool::shape;
    std::map<FieldRole, StripField*> m_fields;
    std::map<FieldRole, NumberStepper*> m_steppers;
    std::map<FieldRole, Rect> m_fieldFrames;
    std::vector<ColorSwatch*> m_swatches;
    std::vector<ShapeOptionButton*> m_shapeButtons;
    CompletionSlider* m_slider = nullptr;
    StripLabel* m_numberLabel = nullptr;
    StripLabel* m_exhaustionLabel = nullptr;
    std::vector<QPointer<QWidget>> m_controls;
    double m_contentWidth = 1;
    bool m_committingNumber = false;
    std::optional<SuspendedDraft> m_suspendedDraft;
};

} // namespace vorlith
