#pragma once

#include "app/output/ImageFormat.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QString>

#include <functional>
#include <optional>

namespace vorlith {

// The panel in which the user picks a save's folder, name and format. It opens without
// blocking and reports once through `onFinished`; the output engine reads its fields at any
// time (also after a cancel) to carry them back into the save draft.
//
// Released with deleteLater(): its own signals may end the engine's use of it.
class SavePanel : public QObject {
    Q_OBJECT
public:
    // Above every ordinary window and the capture overlays.
    static constexpr int windowLevel = 1002;

    struct Configuration {
        QString title;
        // The confirm button.
        QString prompt;
        QString nameFieldLabel;
        // Folder shown first (absolute path) and the name field's text.
        QString directory;
        QString name;
        ImageFormat format = ImageFormat::png;
        // Shown while override-redirect capture overlays are up: the panel must then stack
        // above them on its own, without a window manager.
        bool aboveOverlays = false;
        // The window the save is for: the panel stands above it, also when it stays on top.
        QPointer<QWidget> parentWindow;
    };

    using QObject::QObject;

    // Shows the panel; returns at once.
    virtual void open(const Configuration& configuration) = 0;
    // Closes the panel as Cancel would. `onFinished(false)` follows, now or later.
    virtual void cancel() = 0;

    virtual QString nameFieldText() const = 0;
    virtual void setNameFieldText(const QString& text) = 0;
    // The folder the panel shows (absolute path); empty when it shows none.
    virtual QString directory() const = 0;
    // After a confirmation: the chosen file's absolute path.
    virtual std::optional<QString> selectedFile() const = 0;
    // The title of the format pop-up's selected item; empty when nothing is selected.
    virtual QString formatTitle() const = 0;
    // Restricts the files the panel offers to this format's type.
    virtual void setAllowedFormat(ImageFormat format) = 0;

    // Called once, with true when the user confirmed.
    std::function<void(bool accepted)> onFinished;
    // The format pop-up's action.
    std::function<void()> onFormatChanged;
};

} // namespace vorlith
