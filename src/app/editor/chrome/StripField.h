#pragma once

#include <QLineEdit>

#include <functional>

namespace vorlith {

// A numeric text field of the property strip. It has no validator: whatever the user types
// stays, and the strip judges it. Escape and Return go to the strip (they never reach the
// editor underneath), and the field may refuse to give up the keyboard while its text is
// invalid: a click elsewhere or Tab leaves the focus where it is.
class StripField : public QLineEdit {
    Q_OBJECT
public:
    StripField(int tag, QWidget* parent = nullptr);

    const int tag;

    // Asked before the field gives up the keyboard; false keeps it.
    std::function<bool()> canEndEditing;
    std::function<void()> onCancel;
    std::function<void()> onReturn;
    std::function<void()> onBeganEditing;
    std::function<void()> onEndedEditing;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool mayEnd();
};

} // namespace vorlith
