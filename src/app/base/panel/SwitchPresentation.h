#pragma once

#include <QString>

#include <functional>

namespace vorlith {

// What a BrandSwitch shows: on or off, enabled or not, and its accessibility label. Every
// change is published through `onChange` (the switch redraws, and takes the enabled state and
// the label as its own).
class SwitchPresentation {
public:
    bool isOn() const { return m_isOn; }
    bool isEnabled() const { return m_isEnabled; }
    const QString& label() const { return m_label; }

    void setOn(bool on) { assign(m_isOn, on); }
    void setEnabled(bool enabled) { assign(m_isEnabled, enabled); }
    void setLabel(const QString& label) { assign(m_label, label); }

    std::function<void()> onChange;

private:
    template <typename T>
    void assign(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        if (onChange)
            onChange();
    }

    bool m_isOn = false;
    bool m_isEnabled = true;
    QString m_label;
};

} // namespace vorlith
