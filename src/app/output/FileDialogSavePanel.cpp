#include "app/output/FileDialogSavePanel.h"

#include "app/base/QtTranslations.h"
#include "platform/FloatingWindows.h"
#include "platform/FloatingWindowsFactory.h"

#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <functional>

namespace vorlith {

namespace {

constexpr Qt::WindowFlags overlayFlags = Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint;

// Confirmation happens here rather than in QFileDialog, for two reasons: the name must first
// get its format's extension, and the question box must stack like the panel.
class SaveFileDialog final : public QFileDialog {
public:
    std::function<std::optional<ImageFormat>()> currentFormat;
    bool aboveOverlays = false;

    void accept() override
    {
        if (m_confirmed) {
            QFileDialog::accept();
            return;
        }
        QLineEdit* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString text = field ? field->text().trimmed() : QString();
        const QString typed = text.isEmpty() ? QString() : QFileInfo(directory(), text).absoluteFilePath();
        const std::optional<ImageFormat> format = currentFormat ? currentFormat() : std::nullopt;
        if (typed.isEmpty() || !format || QFileInfo(typed).isDir()) {
            QFileDialog::accept(); // navigates, or refuses an empty name
            return;
        }
        const QString named = fileNameForFormat(text, *format);
        if (named != text)
            field->setText(named);
        const QFileInfo target(directory(), named);
        if (target.exists() && !target.isDir()) {
            askToReplace(target.fileName());
            return;
        }
        QFileDialog::accept();
    }

private:
    void askToReplace(const QString& name)
    {
        auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("“%1”已存在。要替换它吗？").arg(name), QMessageBox::NoButton, this);
        box->setInformativeText(QStringLiteral("替换后，原文件的内容将被覆盖。"));
        QPushButton* replace = box->addButton(QStringLiteral("替换"), QMessageBox::AcceptRole);
        box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box->setDefaultButton(replace);
        box->setAttribute(Qt::WA_DeleteOnClose);
        if (aboveOverlays)
            box->setWindowFlags(box->windowFlags() | overlayFlags);
        QObject::connect(box, &QMessageBox::finished, this, [this, box, replace] {
            if (box->clickedButton() != replace)
                return;
            m_confirmed = true;
            accept();
            m_confirmed = false;
        });
        box->open();
        if (aboveOverlays) {
            box->raise();
            box->activateWindow();
        }
    }

    bool m_confirmed = false;
};

} // namespace

FileDialogSavePanel::FileDialogSavePanel(QObject* parent, std::shared_ptr<FloatingWindows> windows)
    : SavePanel(parent), m_windows(std::move(windows))
{
    installQtChineseTranslations();
}

FileDialogSavePanel::~FileDialogSavePanel()
{
    if (m_dialog) {
        static_cast<SaveFileDialog*>(m_dialog.data())->currentFormat = nullptr;
        m_dialog->disconnect(this);
        if (m_windows)
            m_windows->releaseKeyboard(m_dialog);
        m_dialog->hide();
        m_dialog->deleteLater();
    }
}

QString FileDialogSavePanel::nameFilter(ImageFormat format)
{
    return format == ImageFormat::png ? QStringLiteral("PNG 图片 (*.png)") : QStringLiteral("JPEG 图片 (*.jpg *.jpeg)");
}

QString FileDialogSavePanel::existingFolder(const QString& directory)
{
    if (directory.isEmpty() || !QDir::isAbsolutePath(directory))
        return QDir::homePath();
    QDir folder(QDir::cleanPath(directory));
    if (folder.exists())
        return folder.absolutePath();
    // The root would be a poor stand-in for a folder that went missing under home.
    while (!folder.isRoot()) {
        folder.setPath(QFileInfo(folder.path()).path());
        if (!folder.isRoot() && folder.exists())
            return folder.absolutePath();
    }
    return QDir::homePath();
}

void FileDialogSavePanel::open(const Configuration& configuration)
{
    auto* dialog = new SaveFileDialog;
    m_dialog = dialog;
    m_aboveOverlays = configuration.aboveOverlays;
    dialog->aboveOverlays = configuration.aboveOverlays;
    dialog->currentFormat = [this] { return imageFormatFromRawValue(formatTitle()); };
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowTitle(configuration.title);
    dialog->setLabelText(QFileDialog::Accept, configuration.prompt);
    dialog->setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    dialog->setLabelText(QFileDialog::FileName, configuration.nameFieldLabel);
    dialog->setLabelText(QFileDialog::LookIn, QStringLiteral("位置："));
    dialog->setLabelText(QFileDialog::FileType, QStringLiteral("格式："));
    dialog->setNameFilter(nameFilter(configuration.format));
    dialog->setDirectory(existingFolder(configuration.directory));
    dialog->selectFile(configuration.name);
    buildFormatRow(configuration.format);
    if (m_aboveOverlays)
        dialog->setWindowFlags(dialog->windowFlags() | overlayFlags);
    else if (configuration.parentWindow)
        placeAboveParent(configuration.parentWindow);

    connect(dialog, &QDialog::finished, this, [this](int result) { finish(result == QDialog::Accepted); });
    dialog->open();
    if (m_aboveOverlays)
        placeAboveOverlays();
    else if (configuration.parentWindow && m_windows)
        m_windows->raise(dialog);
}

void FileDialogSavePanel::placeAboveParent(QWidget* parentWindow)
{
    // A window that stays on top (a pin) would otherwise cover its own save panel.
    if (!m_windows)
        m_windows = FloatingWindowsFactory::make();
    m_windows->placeDialog(m_dialog, parentWindow, WindowLevel::normal);
}

void FileDialogSavePanel::buildFormatRow(ImageFormat format)
{
    auto* layout = qobject_cast<QGridLayout*>(m_dialog->layout());
    QWidget* filterCombo = m_dialog->findChild<QWidget*>(QStringLiteral("fileTypeCombo"));
    m_formatPicker = new QComboBox(m_dialog);
    m_formatPicker->setObjectName(QStringLiteral("formatPicker"));
    for (ImageFormat each : allImageFormats)
        m_formatPicker->addItem(rawValue(each));
    m_formatPicker->setCurrentText(rawValue(format));
    m_formatPicker->setMinimumSize(120, 28);
    connect(m_formatPicker, &QComboBox::currentIndexChanged, this, [this] {
        if (onFormatChanged)
            onFormatChanged();
    });

    // The format row takes the place of the dialog's filter, whose label it keeps.
    int row = -1, column = -1, rowSpan = 1, columnSpan = 1;
    if (layout && filterCombo && layout->indexOf(filterCombo) >= 0) {
        layout->getItemPosition(layout->indexOf(filterCombo), &row, &column, &rowSpan, &columnSpan);
        filterCombo->hide();
        layout->addWidget(m_formatPicker, row, column, rowSpan, columnSpan);
    } else if (layout) {
        layout->addWidget(m_formatPicker, layout->rowCount(), 0, 1, layout->columnCount());
    }
}

void FileDialogSavePanel::placeAboveOverlays()
{
    // No window manager places or raises an override-redirect window: centre it on the
    // screen under the pointer and bring it to the front (and the keyboard to it) ourselves.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = m_dialog->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_dialog->move(frame.topLeft());
    }
    m_dialog->raise();
    m_dialog->activateWindow();
    // The overlays hold the keyboard grab while they are up; the panel takes it while it is
    // open (a window manager's Alt+Tab could otherwise move the focus under the overlays),
    // and gives it back when it closes.
    if (!m_windows)
        m_windows = FloatingWindowsFactory::make();
    m_windows->holdKeyboard(m_dialog);
}

void FileDialogSavePanel::cancel()
{
    if (m_dialog && m_dialog->isVisible())
        m_dialog->reject();
    else
        finish(false);
}

void FileDialogSavePanel::finish(bool accepted)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_aboveOverlays && m_windows && m_dialog)
        m_windows->releaseKeyboard(m_dialog);
    if (onFinished)
        onFinished(accepted);
}

QLineEdit* FileDialogSavePanel::nameField() const
{
    return m_dialog ? m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
}

QString FileDialogSavePanel::nameFieldText() const
{
    QLineEdit* field = nameField();
    return field ? field->text() : QString();
}

void FileDialogSavePanel::setNameFieldText(const QString& text)
{
    if (QLineEdit* field = nameField())
        field->setText(text);
}

QString FileDialogSavePanel::directory() const
{
    return m_dialog ? m_dialog->directory().absolutePath() : QString();
}

std::optional<QString> FileDialogSavePanel::selectedFile() const
{
    if (!m_dialog || m_dialog->result() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = m_dialog->selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

QString FileDialogSavePanel::formatTitle() const
{
    return m_formatPicker ? m_formatPicker->currentText() : QString();
}

void FileDialogSavePanel::setAllowedFormat(ImageFormat format)
{
    if (!m_dialog)
        return;
    // A new filter makes QFileDialog swap a known extension in the name field for the
    // filter's; the name is the engine's to rewrite, by its own rule.
    const QString name = nameFieldText();
    m_dialog->setNameFilter(nameFilter(format));
    setNameFieldText(name);
}

} // namespace vorlith
