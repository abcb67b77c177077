#pragma once

#include <QAbstractButton>

namespace vorlith {

// The guidance pill's exit button: "退出截图" and an Esc key cap, on a faint light background
// while hovered or pressed. Its owner connects the click to the editor's exit command.
class HintExitButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit HintExitButton(QWidget* parent = nullptr);

    bool hovered() const { return m_hovered; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_hovered = false;
};

} // namespace vorlith
