#pragma once

#include "platform/AlertPresenter.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class QLabel;
class QPushButton;

namespace vorlith {

// One modal alert as the program shows every alert: the application icon, the message in
// semibold, the informative text, an optional accessory view, and the buttons at the bottom
// right, the first (the default, Return) rightmost. Light whatever the desktop theme. Escape
// and the close button answer the last button (the only one when there is one).
class AlertDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int preferredWidth = 420;

    explicit AlertDialog(const Alert& alert, QWidget* parent = nullptr);
    // The accessory is not the alert's: it is given back, hidden and without a parent, so its
    // owner can still read it after the alert is gone.
    ~AlertDialog() override;

    // The answer: Alert::firstButton + the chosen button's index, or the code an accessory
    // ended the dialog with.
    int response() const { return m_response; }
    QLabel* messageLabel() const { return m_message; }
    QLabel* informativeLabel() const { return m_informative; }
    const QList<QPushButton*>& buttons() const { return m_buttons; }

    void reject() override;
    void done(int result) override;

private:
    QLabel* m_message = nullptr;
    QLabel* m_informative = nullptr;
    QList<QPushButton*> m_buttons;
    QPointer<QWidget> m_accessory;
    int m_response = Alert::firstButton;
};

} // namespace vorlith
