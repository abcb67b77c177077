#include "app/output/FileDialogSavePanel.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

class FileDialogSavePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"截图 2024-04-30 18.02.44.png", "会议记录.jpg", "notes.txt"}) {
            QFile file(folder.filePath(QString::fromUtf8(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        panel.onFinished = [this](bool accepted) { finishes << accepted; };
    }

    void open(const QString& name, ImageFormat format)
    {
        panel.open({QStringLiteral("保存截图"), QStringLiteral("保存"), QStringLiteral("名称："), folder.path(), name, format});
        ASSERT_TRUE(runUntil([&] { return panel.dialog()->isVisible(); }));
    }

    QPushButton* saveButton() const
    {
        return panel.dialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save);
    }

    QTemporaryDir folder;
    FileDialogSavePanel panel;
    QList<bool> finishes;
};

} // namespace

TEST_F(FileDialogSavePanelTest, ShowsTheDraftWithOurFormatRow)
{
    open(QStringLiteral("截图 2024-05-01 09.30.15"), ImageFormat::jpeg);
    QFileDialog* dialog = panel.dialog();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存截图"));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(saveButton()->text(), QStringLiteral("保存"));
    EXPECT_EQ(panel.nameFieldText(), QStringLiteral("截图 2024-05-01 09.30.15"));
    EXPECT_EQ(panel.directory(), QDir(folder.path()).absolutePath());
    ASSERT_NE(panel.formatPicker(), nullptr);
    EXPECT_EQ(panel.formatPicker()->count(), 2);
    EXPECT_EQ(panel.formatPicker()->itemText(0), QStringLiteral("PNG"));
    EXPECT_EQ(panel.formatPicker()->itemText(1), QStringLiteral("JPEG"));
    EXPECT_EQ(panel.formatTitle(), QStringLiteral("JPEG"));
    EXPECT_TRUE(panel.formatPicker()->isVisible());
    EXPECT_FALSE(dialog->findChild<QWidget*>(QStringLiteral("fileTypeCombo"))->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(), QStringLiteral("名称："));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("fileTypeLabel"))->text(), QStringLiteral("格式："));

    // Wait for the folder's files to be listed before the picture is taken.
    auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    runUntil([&] { return list && list->model()->rowCount(list->rootIndex()) > 0; });
    spin(100ms);
    saveTestImage(dialog->grab().toImage(), QStringLiteral("save-panel-jpeg"));
}

TEST(FileDialogSavePanelFolder, AMissingDraftFolderOpensTheNearestOneThatExists)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("截图/2024")));
    const QString base = QDir(folder.path()).absolutePath();
    const struct {
        QString draft;
        QString opened;
    } cases[] = {
        {base + QStringLiteral("/截图/2024"), base + QStringLiteral("/截图/2024")},
        {base + QStringLiteral("/截图/2024/"), base + QStringLiteral("/截图/2024")},
        {base + QStringLiteral("/截图/已删除/更深"), base + QStringLiteral("/截图")},
        {QStringLiteral("/vorlith-missing-folder/a"), QDir::homePath()},
        {QStringLiteral("relative/folder"), QDir::homePath()},
        {QString(), QDir::homePath()},
        {QStringLiteral("/"), QStringLiteral("/")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.draft.toStdString());
        EXPECT_EQ(FileDialogSavePanel::existingFolder(c.draft), c.opened);
    }
}

TEST_F(FileDialogSavePanelTest, FormatPopUpReportsAndNewFilterLeavesTheNameAlone)
{
    open(QStringLiteral("notes.txt"), ImageFormat::png);
    int changes = 0;
    panel.onFormatChanged = [&] { ++changes; };
    panel.formatPicker()->setCurrentIndex(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(panel.formatTitle(), QStringLiteral("JPEG"));
    panel.setAllowedFormat(ImageFormat::jpeg);
    EXPECT_EQ(panel.nameFieldText(), QStringLiteral("notes.txt")) << "the engine rewrites names, not the dialog";
    EXPECT_EQ(panel.dialog()->nameFilters(), QStringList{FileDialogSavePanel::nameFilter(ImageFormat::jpeg)});
}

TEST_F(FileDialogSavePanelTest, ConfirmedNameGetsTheChosenFormatsExtension)
{
    open(QStringLiteral("截图 2024-05-01 09.30.15"), ImageFormat::png);
    panel.formatPicker()->setCurrentIndex(1);
    panel.nameField()->setText(QStringLiteral("report.png"));
    saveButton()->click();
    ASSERT_TRUE(runUntil([&] { return !finishes.isEmpty(); }));
    EXPECT_EQ(finishes, QList<bool>{true});
    EXPECT_EQ(panel.selectedFile(), QDir(folder.path()).absoluteFilePath(QStringLiteral("report.png.jpg")));
    EXPECT_EQ(panel.nameFieldText(), QStringLiteral("report.png.jpg"));
}

TEST_F(FileDialogSavePanelTest, ReplacingAnExistingFileIsConfirmed)
{
    open(QStringLiteral("会议记录"), ImageFormat::jpeg);
    saveButton()->click();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(runUntil([&] {
        box = panel.dialog()->findChild<QMessageBox*>();
        return box && box->isVisible();
    }));
    EXPECT_TRUE(box->text().contains(QStringLiteral("“会议记录.jpg”已存在")));
    EXPECT_TRUE(finishes.isEmpty()) << "the panel stays open while the question is asked";
    saveTestImage(box->grab().toImage(), QStringLiteral("save-panel-replace"));

    // Declining keeps the panel open; confirming saves over the file.
    box->buttons().last()->click();
    spin(50ms);
    EXPECT_TRUE(finishes.isEmpty());
    EXPECT_TRUE(panel.dialog()->isVisible());

    saveButton()->click();
    ASSERT_TRUE(runUntil([&] {
        box = panel.dialog()->findChild<QMessageBox*>();
        return box && box->isVisible();
    }));
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == QStringLiteral("替换"))
            button->click();
    }
    ASSERT_TRUE(runUntil([&] { return !finishes.isEmpty(); }));
    EXPECT_EQ(finishes, QList<bool>{true});
    EXPECT_EQ(panel.selectedFile(), QDir(folder.path()).absoluteFilePath(QStringLiteral("会议记录.jpg")));
}

TEST_F(FileDialogSavePanelTest, CancelReportsOnceAndKeepsTheFieldsReadable)
{
    open(QStringLiteral("截图"), ImageFormat::png);
    panel.nameField()->setText(QStringLiteral("改过的名字"));
    panel.cancel();
    panel.cancel();
    ASSERT_TRUE(runUntil([&] { return !finishes.isEmpty(); }));
    spin(20ms);
    EXPECT_EQ(finishes, QList<bool>{false});
    EXPECT_EQ(panel.nameFieldText(), QStringLiteral("改过的名字"));
    EXPECT_FALSE(panel.selectedFile());
}
