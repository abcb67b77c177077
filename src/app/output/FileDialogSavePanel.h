#pragma once

#include "app/output/SavePanel.h"

#include <memory>

#include <QFileDialog>
#include <QPointer>

class QComboBox;
class QLineEdit;

namespace vorlith {

class FloatingWindows;

// The save panel as Qt's own file dialog (never the desktop's native one, so that tests can
// drive it and it can stack above the capture overlays), with a format row of our own in
// place of the dialog's file-type filter.
//
// On confirmation the name always gets the extension of the chosen format (so a .png file
// never holds JPEG bytes), and replacing an existing file is confirmed in a box that stacks
// like the panel.
class FileDialogSavePanel final : public SavePanel {
    Q_OBJECT
public:
    // `windows` stacks the panel above the window it is for; absent, the session's own is made
    // when a panel first needs it.
    explicit FileDialogSavePanel(QObject* parent = nullptr, std::shared_ptr<FloatingWindows> windows = nullptr);
    ~FileDialogSavePanel() override;

    void open(const Configuration& configuration) override;
    void cancel() override;

    QString nameFieldText() const override;
    void setNameFieldText(const QString& text) override;
    QString directory() const override;
    std::optional<QString> selectedFile() const override;
    QString formatTitle() const override;
    void setAllowedFormat(ImageFormat format) override;

    // For tests and for stacking: the dialog, its format pop-up and its name field.
    QFileDialog* dialog() const { return m_dialog; }
    QComboBox* formatPicker() const { return m_formatPicker; }
    QLineEdit* nameField() const;

    // The dialog's name filter for a format, e.g. "PNG 图片 (*.png)".
    static QString nameFilter(ImageFormat format);
    // The folder the dialog opens in: the draft's own, or, when it has gone since, the
    // nearest folder above it that still exists, else the home folder.
    static QString existingFolder(const QString& directory);

private:
    void buildFormatRow(ImageFormat format);
    void placeAboveOverlays();
    void placeAboveParent(QWidget* parentWindow);
    void finish(bool accepted);

    std::shared_ptr<FloatingWindows> m_windows;
    QPointer<QFileDialog> m_dialog;
    QComboBox* m_formatPicker = nullptr;
    bool m_aboveOverlays = false;
    bool m_finished = false;
};

} // namespace vorlith
