#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vorlith {

// A modal alert: a message, an informative text, an optional accessory view and buttons in
// order (the first is the default). The answer is 1000 for the first button, 1001 for the
// second and so on. Everything may change while an alert is up (it runs a nested event loop):
// callers check their state again after it returns.
struct Alert {
    static constexpr int firstButton = 1000;
    static constexpr int secondButton = 1001;

    QString message;
    QString informativeText;
    QStringList buttons;
    QWidget* accessory = nullptr; // shown between the texts and the buttons; not owned
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // Shows the alert above everything of ours, with the keyboard, and returns the answer.
    virtual int run(const Alert& alert) = 0;
};

} // namespace vorlith
