#pragma once

#include "app/editor/chrome/HoverButton.h"

namespace vorlith {

// The guidance pill's exit button: "退出截图" and an Esc key cap, on a faint light background
// while hovered or pressed. Its owner connects the click to the editor's exit command.
class HintExitButton : public HoverButton {
    Q_OBJECT
public:
    explicit HintExitButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorlith
