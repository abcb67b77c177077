#include "app/editor/chrome/ToolProperties.h"
#include "app/editor/KeyWindow.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/CompletionSlider.h"
#include "app/editor/chrome/FilledLine.h"
#include "app/editor/chrome/NumberStepper.h"
#include "app/editor/chrome/ShapeOptionButton.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/StripLabel.h"
#include "app/editor/chrome/ToolIcon.h"
#include "app/base/UnflippedFrame.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

namespace propertyStrip {

namespace {

RGBA hex(quint32 rgb)
{
    return RGBA{((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, 1};
}

} // namespace

const std::array<Swatch, 6>& palette()
{
    static const std::array<Swatch, 6> table{{
        {hex(0xFF3B30), QStringLiteral("红")},
        {hex(0xFFCC00), QStringLiteral("黄")},
        {hex(0x007AFF), QStringLiteral("蓝")},
        {hex(0x00B83F), QStringLiteral("绿")},
        {hex(0x111111), QStringLiteral("黑")},
        {hex(0xFFFFFF), QStringLiteral("白")},
    }};
    return table;
}

const std::array<Swatch, 7>& backgrounds()
{
    static const std::array<Swatch, 7> table{{
        {std::nullopt, QStringLiteral("无底色")},
        {hex(0xFFF3B0), QStringLiteral("浅黄")},
        {hex(0xFFFFFF), QStringLiteral("白色")},
        {hex(0xF9D9D5), QStringLiteral("浅红")},
        {hex(0xDCE9FC), QStringLiteral("浅蓝")},
        {hex(0xDEEED9), QStringLiteral("浅绿")},
        {hex(0x111111), QStringLiteral("深色")},
    }};
    return table;
}

const std::array<ShapeOption, 3>& shapeOptions()
{
    static const std::array<ShapeOption, 3> table{{
        {Annotation::Kind::roundedRectangle, QStringLiteral("圆角矩形"), QStringLiteral("shape")},
        {Annotation::Kind::ellipse, QStringLiteral("椭圆"), QStringLiteral("ellipse")},
        {Annotation::Kind::line, QStringLiteral("直线"), QStringLiteral("line")},
    }};
    return table;
}

} // namespace propertyStrip

namespace {

using FieldRole = ToolProperties::FieldRole;

constexpr std::array allRoles{FieldRole::width, FieldRole::fontSize, FieldRole::number, FieldRole::diameter};

std::optional<FieldRole> roleOf(int tag)
{
    if (tag < 0 || tag > 3)
        return std::nullopt;
    return FieldRole(tag);
}

QFont labelFont()
{
    return InterfaceFonts::system(11);
}

// The field has the keyboard in its window (it is being edited).
bool isEditing(const QWidget* field)
{
    return field && field->isVisible() && field->window()->focusWidget() == field;
}

QString wholeNumber(double value)
{
    return QString::number(qint64(std::trunc(value)));
}

} // namespace

ToolProperties::FieldRange ToolProperties::range(FieldRole role)
{
    switch (role) {
    case FieldRole::width:
        return {1, 16};
    case FieldRole::fontSize:
        return {12, 72};
    case FieldRole::number:
        return {1, 999};
    case FieldRole::diameter:
        return {16, 96};
    }
    return {0, 0};
}

ToolProperties::ToolProperties(QWidget* parent) : FloatingSurface(parent)
{
    resize(0, int(stripHeight));
}

void ToolProperties::setEmbedded(bool embedded)
{
    m_embedded = embedded;
    setBodyColor(embedded ? QColor(Qt::transparent) : InterfaceColors::floatingBody());
    setBorderWidth(embedded ? 0 : 1);
}

StripField* ToolProperties::field(FieldRole role) const
{
    const auto it = m_fields.find(role);
    return it == m_fields.end() ? nullptr : it->second;
}

NumberStepper* ToolProperties::stepper(FieldRole role) const
{
    const auto it = m_steppers.find(role);
    return it == m_steppers.end() ? nullptr : it->second;
}

// ---- building -------------------------------------------------------------------------------

template <typename T> T* ToolProperties::adopt(T* control)
{
    m_controls.emplace_back(control);
    control->show();
    return control;
}

void ToolProperties::configure(CaptureTool tool, Annotation::Kind kind, const AnnotationStyle& style)
{
    if (tool == m_tool && !m_controls.empty()) {
        m_kind = kind;
        m_style = style;
        syncControls();
        return;
    }
    m_tool = tool;
    m_kind = kind;
    m_style = style;
    rebuild();
}

void ToolProperties::rebuild()
{
    // A control being replaced may be running its own handler right now (Return in a field
    // that applied a number): it is hidden at once and deleted on a later turn.
    for (const QPointer<QWidget>& control : m_controls) {
        if (control) {
            control->hide();
            control->deleteLater();
        }
    }
    m_controls.clear();
    m_fields.clear();
    m_steppers.clear();
    m_fieldFrames.clear();
    m_swatches.clear();
    m_shapeButtons.clear();
    m_slider = nullptr;
    m_numberLabel = nullptr;
    m_exhaustionLabel = nullptr;
    resize(0, int(stripHeight));

    double x = 0;
    if (m_tool == CaptureTool::shape)
        addShapeOptions(x);
    if (m_tool != CaptureTool::select && m_tool != CaptureTool::mosaic)
        addSwatches(x, propertyStrip::palette(), 0);
    switch (m_tool) {
    case CaptureTool::select:
        break;
    case CaptureTool::shape:
    case CaptureTool::arrow:
    case CaptureTool::pen:
        addSeparator(x);
        addLabel(x, QStringLiteral("粗细"), 22);
        addField(FieldRole::width, QStringLiteral("粗细"), x, 43);
        break;
    case CaptureTool::text:
        addSeparator(x);
        addLabel(x, QStringLiteral("字号"), 22);
        addField(FieldRole::fontSize, QStringLiteral("字号"), x, 43);
        addSeparator(x);
        addLabel(x, QStringLiteral("底色"), 22);
        addSwatches(x, propertyStrip::backgrounds(), backgroundTag);
        break;
    case CaptureTool::highlight:
        addSeparator(x);
        addLabel(x, QStringLiteral("不透明度"), 44);
        addSliderBlock(x, QStringLiteral("不透明度"), m_style.opacity * 100, 0, 100);
        break;
    case CaptureTool::mosaic:
        addLabel(x, QStringLiteral("颗粒"), 22);
        addSliderBlock(x, QStringLiteral("颗粒"), m_style.mosaicSize, 8, 32);
        break;
    case CaptureTool::number: {
        const QString name = m_editingSelectedNumber ? QStringLiteral("当前编号") : QStringLiteral("下一编号");
        addSeparator(x);
        addLabel(x, name, 44);
        addField(FieldRole::number, name, x, 53);
        addSeparator(x);
        addLabel(x, QStringLiteral("大小"), 22);
        addField(FieldRole::diameter, QStringLiteral("数字大小"), x, 43);
        addExhaustionLabel(x);
        break;
    }
    }
    m_contentWidth = std::max(x, 1.0);
    updateContentWidth();
    if (!m_embedded)
        setCornerRadius(11);
    syncControls();
}

void ToolProperties::addSeparator(double& x)
{
    auto* line = adopt(new FilledLine(InterfaceColors::propertySeparator(), this));
    UnflippedFrame::place(line, Rect(x + 12, 13.5, 1, 20));
    x += 25;
}

void ToolProperties::addLabel(double& x, const QString& text, double minimumWidth)
{
    auto* label = adopt(new StripLabel(text, labelFont(), this));
    const double w = std::max(std::ceil(label->naturalWidth()) + 4, minimumWidth);
    UnflippedFrame::place(label, Rect(x, 15.5, w, 16.5));
    x += w + 6;
}

void ToolProperties::addSwatches(double& x, std::span<const propertyStrip::Swatch> table, int tag)
{
    for (size_t i = 0; i < table.size(); ++i) {
        auto* swatch = adopt(new ColorSwatch(table[i].color, this));
        swatch->tag = tag;
        UnflippedFrame::place(swatch, Rect(x + 29.0 * double(i), 9.5, 28, 28));
        swatch->setToolTip(table[i].name);
        swatch->setAccessibleName(table[i].name);
        connect(swatch, &QAbstractButton::clicked, this, [this, swatch] {
            if (swatch->tag == backgroundTag)
                backgroundChanged(swatch);
            else
                colorChanged(swatch);
        });
        m_swatches.push_back(swatch);
    }
    // Six swatches take 173, seven 202: 29 apiece, less one.
    x += 29.0 * double(table.size()) - 1;
}

void ToolProperties::addShapeOptions(double& x)
{
    const auto& options = propertyStrip::shapeOptions();
    for (size_t i = 0; i < options.size(); ++i) {
        auto* button = adopt(new ShapeOptionButton(options[i].kind, options[i].iconName, this));
        UnflippedFrame::place(button, Rect(x + 39.0 * double(i), 6, 36, 35));
        button->setText(options[i].title);
        button->setAccessibleName(options[i].title);
        button->setToolTip(options[i].title);
        button->setSelected(options[i].kind == m_kind);
        connect(button, &QAbstractButton::clicked, this, [this, button] { shapeChanged(button); });
        m_shapeButtons.push_back(button);
    }
    x += 117 - 3;
    addSeparator(x);
}

void ToolProperties::addField(FieldRole role, const QString& name, double& x, double width)
{
    const FieldRange bounds = range(role);
    const std::optional<double> current = value(role);
    m_fieldFrames[role] = Rect(x, 11, width, 25);

    auto* text = adopt(new StripField(int(role), this));
    UnflippedFrame::place(text, Rect(x + 2, 15, width - 20, 17));
    text->setFont(labelFont());
    text->setAccessibleName(name);
    text->setText(current ? wholeNumber(*current) : QString());
    text->canEndEditing = [this, role] { return mayEndEditing(role); };
    text->onBeganEditing = [this, text] {
        holdClicksFor(text);
        refreshFocusRing();
    };
    text->onEndedEditing = [this, role] { endedEditing(role); };
    text->onCancel = [this] { cancelPendingInputs(); };
    text->onReturn = [this] {
        if (flushPendingInputs())
            returnToCanvas();
    };
    m_fields[role] = text;

    auto* arrows = adopt(new NumberStepper(this));
    UnflippedFrame::place(arrows, Rect(x + width - 17, 13, 15, 21));
    arrows->tag = int(role);
    arrows->minimum = bounds.min;
    arrows->maximum = bounds.max;
    arrows->increment = 1;
    arrows->autorepeat = true;
    arrows->setValue(current.value_or(bounds.min));
    arrows->setAccessibleName(name + QStringLiteral("调节"));
    arrows->setToolTip(QStringLiteral("增加或减小") + name);
    arrows->beforeInteraction = [self = QPointer(this)] { return self && self->flushPendingInputs(); };
    arrows->onAction = [this, arrows] { numberStepped(arrows); };
    arrows->onFocusChanged = [this] { refreshFocusRing(); };
    m_steppers[role] = arrows;
    x += width;
}

void ToolProperties::addSliderBlock(double& x, const QString& label, double value, int minimum, int maximum)
{
    auto* slider = adopt(new CompletionSlider(this));
    slider->setRange(minimum, maximum);
    slider->setValue(int(std::lround(value)));
    UnflippedFrame::place(slider, Rect(x, 15.5, 130, 16));
    slider->setAccessibleName(label);
    slider->onAction = [this, slider] { sliderChanged(slider); };
    slider->onFinish = [self = QPointer(this)] {
        if (!self)
            return;
        if (self->onChange)
            self->onChange(self->m_style, self->m_kind);
        if (self)
            self->syncControls();
    };
    m_slider = slider;
    x += 136;

    auto* readout = adopt(new StripLabel(numberText(value), InterfaceFonts::system(11), this));
    readout->setMonospacedDigits(true);
    readout->setAlignRight(true);
    const double w = std::max(std::ceil(readout->naturalWidth()) + 4, 40.0);
    UnflippedFrame::place(readout, Rect(x, 15.5, w, 16.5));
    m_numberLabel = readout;
    x += w;
}

void ToolProperties::addExhaustionLabel(double x)
{
    auto* label = adopt(new StripLabel(QStringLiteral("已到999，请设置下一编号"), labelFont(), this));
    const double w = std::max(std::ceil(label->naturalWidth()) + 4, 145.0);
    UnflippedFrame::place(label, Rect(x + 12, 15.5, w, 16.5));
    label->setVisible(numbersUsedUp());
    m_exhaustionLabel = label;
}

// ---- values ---------------------------------------------------------------------------------

std::optional<double> ToolProperties::value(FieldRole role) const
{
    switch (role) {
    case FieldRole::width:
        return m_style.width;
    case FieldRole::fontSize:
        return m_style.fontSize;
    case FieldRole::number: {
        const std::optional<int> n = m_editingSelectedNumber ? m_selectedNumber : m_nextNumber;
        return n ? std::optional<double>(*n) : std::nullopt;
    }
    case FieldRole::diameter:
        return m_diameter;
    }
    return std::nullopt;
}

std::optional<double> ToolProperties::parsed(const QString& text, FieldRole role)
{
    if (text.isEmpty())
        return std::nullopt;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const double number = text.toDouble();
    const FieldRange bounds = range(role);
    if (!std::isfinite(number) || number < bounds.min || number > bounds.max)
        return std::nullopt;
    return number;
}

QString ToolProperties::invalidMessage(FieldRole role)
{
    const FieldRange bounds = range(role);
    return QStringLiteral("请输入 ") + wholeNumber(bounds.min) + QStringLiteral("～") + wholeNumber(bounds.max) + QStringLiteral(" 的整数");
}

QString ToolProperties::numberText(double value) const
{
    return QString::number(std::lround(value)) + (m_tool == CaptureTool::highlight ? QStringLiteral("%") : QString());
}

void ToolProperties::apply(double value, FieldRole role)
{
    switch (role) {
    case FieldRole::width:
    case FieldRole::fontSize:
        (role == FieldRole::width ? m_style.width : m_style.fontSize) = value;
        if (onChange)
            onChange(m_style, m_kind);
        syncControls();
        break;
    case FieldRole::number: {
        const int number = int(std::lround(value));
        (m_editingSelectedNumber ? m_selectedNumber : m_nextNumber) = number;
        if (onNumberChange)
            onNumberChange(number);
        break;
    }
    case FieldRole::diameter:
        m_diameter = value;
        if (onDiameterChange)
            onDiameterChange(value);
        break;
    }
}

void ToolProperties::reportInvalid(FieldRole role)
{
    const QString message = invalidMessage(role);
    if (StripField* text = field(role))
        text->setToolTip(message);
    if (onValidationFailure)
        onValidationFailure(message);
}

bool ToolProperties::numbersUsedUp() const
{
    return !m_nextNumber && !m_editingSelectedNumber;
}

bool ToolProperties::skipsEmpty(FieldRole role, const QString& text) const
{
    // Nothing typed while the numbers are used up: there is nothing to validate.
    return role == FieldRole::number && text.isEmpty() && numbersUsedUp();
}

double ToolProperties::sliderValue() const
{
    return m_tool == CaptureTool::highlight ? m_style.opacity * 100 : m_style.mosaicSize;
}

// ---- the flush-before-interaction rule -------------------------------------------------------

bool ToolProperties::flushPendingInputs()
{
    if (m_committingNumber)
        return true;
    std::vector<std::pair<FieldRole, double>> queued;
    for (FieldRole role : allRoles) {
        StripField* text = field(role);
        if (!text)
            continue;
        const QString typed = text->text();
        if (skipsEmpty(role, typed))
            continue;
        const std::optional<double> number = parsed(typed, role);
        if (!number) {
            reportInvalid(role);
            makeKeyWindow(this);
            text->setFocus(Qt::OtherFocusReason);
            return false;
        }
        const std::optional<double> current = value(role);
        if (!current || *current != *number)
            queued.emplace_back(role, *number);
    }
    m_committingNumber = true;
    for (const auto& [role, text] : m_fields) {
        if (isEditing(text))
            text->clearFocus();
    }
    QPointer self(this);
    for (const auto& [role, number] : queued) {
        apply(number, role);
        if (!self)
            return true;
    }
    m_committingNumber = false;
    syncControls();
    return true;
}

bool ToolProperties::hasInvalidInput() const
{
    for (const auto& [role, text] : m_fields) {
        const QString typed = text->text();
        if (!skipsEmpty(role, typed) && !parsed(typed, role))
            return true;
    }
    return false;
}

bool ToolProperties::mayEndEditing(FieldRole role)
{
    if (m_committingNumber)
        return true;
    StripField* text = field(role);
    if (!text)
        return true;
    if (parsed(text->text(), role) || skipsEmpty(role, text->text()))
        return true;
    reportInvalid(role);
    return false;
}

void ToolProperties::holdClicksFor(QWidget* field)
{
    // A click on a button of the bar or the strip must not take the keyboard from the field
    // being edited: Qt gives focus to the first ancestor that accepts clicks (the editor),
    // unless that ancestor's focus proxy already has it. While a field is edited, the bar
    // accepts clicks with the field as its proxy.
    QWidget* host = qobject_cast<CaptureToolbar*>(parentWidget()) ? parentWidget() : this;
    host->setFocusProxy(field);
    host->setFocusPolicy(field ? Qt::ClickFocus : Qt::NoFocus);
}

void ToolProperties::endedEditing(FieldRole role)
{
    holdClicksFor(nullptr);
    refreshFocusRing();
    if (m_committingNumber)
        return;
    if (StripField* text = field(role)) {
        const std::optional<double> number = parsed(text->text(), role);
        const std::optional<double> current = value(role);
        if (number && (!current || *current != *number)) {
            QPointer self(this);
            apply(*number, role);
            if (!self)
                return;
        }
    }
    syncControls();
}

void ToolProperties::cancelPendingInputs()
{
    m_committingNumber = true;
    for (const auto& [role, text] : m_fields) {
        if (isEditing(text))
            text->clearFocus();
    }
    m_committingNumber = false;
    syncControls();
    if (onReturnToCanvas)
        onReturnToCanvas();
    else if (parentWidget())
        parentWidget()->setFocus(Qt::OtherFocusReason);
}

void ToolProperties::returnToCanvas()
{
    if (onReturnToCanvas)
        onReturnToCanvas();
}

// ---- control actions ------------------------------------------------------------------------

void ToolProperties::colorChanged(ColorSwatch* swatch)
{
    if (!swatch || !swatch->value || !flushPendingInputs())
        return;
    m_style.color = *swatch->value;
    QPointer self(this);
    if (onChange)
        onChange(m_style, m_kind);
    if (!self)
        return;
    syncControls();
    returnToCanvas();
}

void ToolProperties::backgroundChanged(ColorSwatch* swatch)
{
    if (!swatch || !flushPendingInputs())
        return;
    m_style.background = swatch->value;
    QPointer self(this);
    if (onChange)
        onChange(m_style, m_kind);
    if (!self)
        return;
    syncControls();
    returnToCanvas();
}

void ToolProperties::shapeChanged(ShapeOptionButton* button)
{
    if (!button || !flushPendingInputs())
        return;
    m_kind = button->kind;
    QPointer self(this);
    if (onShapeChoice)
        onShapeChoice(m_kind);
    if (!self)
        return;
    configure(m_tool, m_kind, m_style);
}

void ToolProperties::sliderChanged(CompletionSlider* slider)
{
    if (!slider)
        return;
    const double v = slider->value();
    if (m_tool == CaptureTool::highlight)
        m_style.opacity = v / 100;
    else
        m_style.mosaicSize = v;
    slider->update();
    if (m_numberLabel)
        m_numberLabel->setText(numberText(v));
    if (onPreview)
        onPreview(m_style, m_kind);
}

void ToolProperties::numberStepped(NumberStepper* stepper)
{
    if (!stepper || !stepper->isEnabled())
        return;
    const std::optional<FieldRole> role = roleOf(stepper->tag);
    if (!role)
        return;
    const FieldRange bounds = range(*role);
    const double v = std::clamp(std::round(stepper->value()), bounds.min, bounds.max);
    QPointer self(this);
    apply(v, *role);
    if (self)
        syncControls();
}

// ---- state in and out -----------------------------------------------------------------------

void ToolProperties::syncControls()
{
    update();
    for (ColorSwatch* swatch : m_swatches) {
        if (swatch->tag == backgroundTag)
            swatch->setSelected(swatch->value == m_style.background);
        else
            swatch->setSelected(swatch->value && *swatch->value == m_style.color);
    }
    for (ShapeOptionButton* button : m_shapeButtons)
        button->setSelected(button->kind == m_kind);
    for (const auto& [role, text] : m_fields) {
        const std::optional<double> current = value(role);
        if (!isEditing(text))
            text->setText(current ? wholeNumber(*current) : QString());
        if (NumberStepper* arrows = stepper(role))
            arrows->setValue(current.value_or(1));
    }
    if (m_slider) {
        m_slider->setValue(int(std::lround(sliderValue())));
        m_slider->update();
    }
    if (m_numberLabel)
        m_numberLabel->setText(numberText(sliderValue()));
    if (m_exhaustionLabel)
        m_exhaustionLabel->setVisible(numbersUsedUp());
    updateContentWidth();
}

void ToolProperties::updateContentWidth()
{
    const bool exhausted = m_tool == CaptureTool::number && numbersUsedUp();
    resize(int(std::lround(m_contentWidth + (exhausted ? exhaustionRoom : 0))), int(stripHeight));
}

void ToolProperties::setNumberContext(std::optional<int> nextNumber, std::optional<int> selectedNumber, double diameter)
{
    m_nextNumber = nextNumber;
    m_selectedNumber = selectedNumber;
    m_diameter = diameter;
    const bool editingSelected = selectedNumber.has_value();
    const bool changed = editingSelected != m_editingSelectedNumber;
    m_editingSelectedNumber = editingSelected;
    if (changed && m_tool == CaptureTool::number)
        rebuild();
    else
        syncControls();
}

void ToolProperties::preserveInputDraft()
{
    SuspendedDraft draft;
    for (const auto& [role, text] : m_fields) {
        draft.values[role] = text->text();
        if (isEditing(text)) {
            draft.activeRole = role;
            draft.selection = text->hasSelectedText()
                ? std::pair(text->selectionStart(), int(text->selectedText().size()))
                : std::pair(text->cursorPosition(), 0);
        }
    }
    m_suspendedDraft = std::move(draft);
}

void ToolProperties::restoreInputDraft()
{
    if (!m_suspendedDraft)
        return;
    const SuspendedDraft draft = std::move(*m_suspendedDraft);
    m_suspendedDraft.reset();
    for (const auto& [role, typed] : draft.values) {
        if (StripField* text = field(role))
            text->setText(typed);
    }
    if (!draft.activeRole)
        return;
    StripField* text = field(*draft.activeRole);
    if (!text)
        return;
    text->setFocus(Qt::OtherFocusReason);
    text->selectAll();
    const auto typed = draft.values.find(*draft.activeRole);
    if (typed != draft.values.end())
        text->setText(typed->second);
    if (draft.selection) {
        const int length = int(text->text().size());
        const int start = std::min(draft.selection->first, length);
        const int count = std::min(draft.selection->second, length - start);
        if (count > 0)
            text->setSelection(start, count);
        else
            text->setCursorPosition(start);
    }
}

void ToolProperties::focusNumberInput()
{
    if (m_tool != CaptureTool::number)
        return;
    if (StripField* text = field(FieldRole::number)) {
        text->setFocus(Qt::OtherFocusReason);
        text->selectAll();
    }
}

// ---- mouse and drawing ----------------------------------------------------------------------

bool ToolProperties::acceptsFirstMouse() const
{
    auto* toolbar = qobject_cast<const CaptureToolbar*>(parentWidget());
    return toolbar && !toolbar->busy();
}

void ToolProperties::mousePressEvent(QMouseEvent* event)
{
    auto* toolbar = qobject_cast<CaptureToolbar*>(parentWidget());
    if (!toolbar || !toolbar->barMousePress(event))
        event->ignore();
}

void ToolProperties::mouseMoveEvent(QMouseEvent* event)
{
    auto* toolbar = qobject_cast<CaptureToolbar*>(parentWidget());
    if (!toolbar || !toolbar->barMouseMove(event))
        event->ignore();
}

void ToolProperties::mouseReleaseEvent(QMouseEvent* event)
{
    auto* toolbar = qobject_cast<CaptureToolbar*>(parentWidget());
    if (!toolbar || !toolbar->barMouseRelease(event))
        event->ignore();
}

void ToolProperties::refreshFocusRing()
{
    update();
    if (auto* toolbar = qobject_cast<CaptureToolbar*>(parentWidget()))
        toolbar->update();
}

std::optional<QRectF> ToolProperties::focusRing() const
{
    for (const auto& [role, frame] : m_fieldFrames) {
        const NumberStepper* arrows = stepper(role);
        if (isEditing(field(role)) || (arrows && arrows->hasFocus()))
            return UnflippedFrame::toYDown(frame, height()).adjusted(-3, -3, 3, 3);
    }
    return std::nullopt;
}

void ToolProperties::paintFocusRing(QPainter& painter, const QRectF& ring)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(ring, 7, 7);
    painter.setPen(QPen(InterfaceColors::focus(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

void ToolProperties::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintSurface(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [role, frame] : m_fieldFrames) {
        const QRectF box = UnflippedFrame::toYDown(frame, height());
        QPainterPath body;
        body.addRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter.fillPath(body, InterfaceColors::white());
        painter.setPen(QPen(InterfaceColors::fieldBorder(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(body);
    }
    if (!qobject_cast<CaptureToolbar*>(parentWidget())) {
        if (const std::optional<QRectF> ring = focusRing())
            paintFocusRing(painter, *ring);
    }
}

} // namespace vorlith
