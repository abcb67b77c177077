#pragma once

#include <QApplication>
#include <QPalette>

namespace vorlith::test {

// A desktop theme's dark palette on the application for the guard's life: set it before any
// window is made, as the desktop does.
class DarkApplicationPalette {
public:
    DarkApplicationPalette() : m_saved(QApplication::palette())
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Button, QColor(50, 50, 50));
        dark.setColor(QPalette::ButtonText, Qt::white);
        dark.setColor(QPalette::ToolTipBase, QColor(20, 20, 20));
        dark.setColor(QPalette::ToolTipText, Qt::white);
        QApplication::setPalette(dark);
    }
    ~DarkApplicationPalette() { QApplication::setPalette(m_saved); }
    DarkApplicationPalette(const DarkApplicationPalette&) = delete;
    DarkApplicationPalette& operator=(const DarkApplicationPalette&) = delete;

private:
    QPalette m_saved;
};

} // namespace vorlith::test
