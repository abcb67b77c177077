#pragma once

#include "core/Annotation.h"

#include <QAbstractButton>

#include <optional>

namespace vorlith {

// A round colour button of the property strip. Without a colour it shows the "no colour" mark:
// a white disc crossed by a red stroke.
class ColorSwatch : public QAbstractButton {
    Q_OBJECT
public:
    ColorSwatch(std::optional<RGBA> value, QWidget* parent = nullptr);

    const std::optional<RGBA> value;
    // The strip's marker for its background swatches (100); palette swatches keep 0.
    int tag = 0;

    bool selected() const { return m_selected; }
    void setSelected(bool selected);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
};

} // namespace vorlith
