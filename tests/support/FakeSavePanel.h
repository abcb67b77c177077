#pragma once

#include "app/output/SavePanel.h"

#include <QTimer>

namespace vorlith::test {

// A save panel the test plays the user of: it records how it was opened and lets the test
// type a name, pick a folder or a format, confirm or cancel.
class FakeSavePanel final : public SavePanel {
    Q_OBJECT
public:
    // When set, cancel() reports on a later turn instead of inside the call.
    bool finishesLater = false;

    bool opened = false;
    Configuration configuration;
    QString nameField;
    QString folder;
    QString title;
    std::optional<ImageFormat> allowed;
    std::optional<QString> chosenFile;
    int finishes = 0;

    void open(const Configuration& c) override
    {
        opened = true;
        configuration = c;
        nameField = c.name;
        folder = c.directory;
        title = rawValue(c.format);
        allowed = c.format;
    }
    void cancel() override
    {
        if (finishesLater)
            QTimer::singleShot(0, this, [this] { finish(false); });
        else
            finish(false);
    }

    QString nameFieldText() const override { return nameField; }
    void setNameFieldText(const QString& text) override { nameField = text; }
    QString directory() const override { return folder; }
    std::optional<QString> selectedFile() const override { return chosenFile; }
    QString formatTitle() const override { return title; }
    void setAllowedFormat(ImageFormat format) override { allowed = format; }

    // The user's actions.
    void chooseFormat(const QString& popUpTitle)
    {
        title = popUpTitle;
        if (onFormatChanged)
            onFormatChanged();
    }
    // Confirms with the name field in the shown folder.
    void confirm()
    {
        chosenFile = folder + QLatin1Char('/') + nameField;
        finish(true);
    }
    void userCancels() { finish(false); }

private:
    void finish(bool accepted)
    {
        ++finishes;
        if (onFinished)
            onFinished(accepted);
    }
};

} // namespace vorlith::test
