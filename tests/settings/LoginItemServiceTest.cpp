#include "app/settings/SettingsStore.h"
#include "platform/xdg/LoginItemService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

// An installed program: the test binary itself may sit in a temporary folder (a clone in /tmp),
// and a program there is refused on purpose.
const QString installedProgram = QStringLiteral("/usr/bin/env");

struct AutostartFixture {
    QTemporaryDir configHome;
    LoginItemService::Configuration configuration{configHome.path(), QStringLiteral("app.vorlith.Vorlith"),
                                                  QStringLiteral("Vorlith"), installedProgram};
    LoginItemService service() const { return LoginItemService(configuration, &SettingsStore::defaultWriteData); }
    QString entryPath() const { return configHome.filePath(QStringLiteral("autostart/app.vorlith.Vorlith.desktop")); }
    QByteArray entry() const
    {
        QFile file(entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeEntry(const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(entryPath()).absolutePath());
        QFile file(entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

} // namespace

TEST(LoginItemService, EnableWritesTheEntryAndDisableRemovesIt)
{
    AutostartFixture f;
    LoginItemService service = f.service();
    EXPECT_EQ(service.status(), LoginItemStatus::notRegistered);
    service.setEnabled(true);
    EXPECT_EQ(service.status(), LoginItemStatus::enabled);
    EXPECT_EQ(f.entry(), "[Desktop Entry]\nType=Application\nName=Vorlith\nExec=\"" +
                             QFile::encodeName(installedProgram) +
                             "\"\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(QDir(f.configHome.filePath(QStringLiteral("autostart"))).entryList(QDir::Hidden | QDir::Files).size() == 1)
        << "no staging file is left beside the entry";
    service.setEnabled(true); // already on: nothing changes
    service.setEnabled(false);
    EXPECT_FALSE(QFile::exists(f.entryPath()));
    EXPECT_EQ(service.status(), LoginItemStatus::notRegistered);
    service.setEnabled(false);
}

TEST(LoginItemService, EntriesSwitchedOffByTheDesktopAreNotRegistered)
{
    const QByteArray offs[] = {
        "[Desktop Entry]\nType=Application\nHidden=true\n",
        "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\nExec=x\n",
        "[Desktop Entry]\n Hidden = true \n",
    };
    for (const QByteArray& text : offs) {
        AutostartFixture f;
        f.writeEntry(text);
        LoginItemService service = f.service();
        EXPECT_EQ(service.status(), LoginItemStatus::notRegistered) << text.constData();
        service.setEnabled(false);
        EXPECT_EQ(f.entry(), text) << "switching off leaves the desktop's own entry";
        service.setEnabled(true);
        EXPECT_EQ(service.status(), LoginItemStatus::enabled);
    }
    AutostartFixture f;
    f.writeEntry("[Desktop Entry]\nExec=x\n[Desktop Action other]\nHidden=true\n");
    EXPECT_EQ(f.service().status(), LoginItemStatus::enabled) << "only the main group counts";
}

TEST(LoginItemService, ProgramInATemporaryFolderIsUnavailable)
{
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/vorlith-XXXXXX"));
    const QString program = temporary.filePath(QStringLiteral("vorlith"));
    QFile::copy(QCoreApplication::applicationFilePath(), program);
    AutostartFixture f;
    f.configuration.program = program;
    LoginItemService service = f.service();
    EXPECT_EQ(service.status(), LoginItemStatus::unavailable);
    try {
        service.setEnabled(true);
        ADD_FAILURE() << "no error";
    } catch (const LoginItemError& e) {
        EXPECT_EQ(e.reason, LoginItemError::Reason::unavailable);
    }
    EXPECT_FALSE(QFile::exists(f.entryPath()));

    f.configuration.program = QString();
    EXPECT_EQ(f.service().status(), LoginItemStatus::unavailable);
}

TEST(LoginItemService, ExecQuoting)
{
    struct Case {
        const char* program;
        const char* exec;
    };
    const Case cases[] = {
        {"/opt/vorlith/vorlith", R"("/opt/vorlith/vorlith")"},
        {"/home/u/my apps/vorlith", R"("/home/u/my apps/vorlith")"},
        {"/home/u/a\"b$c`d/v", R"("/home/u/a\\"b\\$c\\`d/v")"},
        {"/home/u/back\\slash/v", R"("/home/u/back\\\\slash/v")"},
        {"/home/u/100%/v", R"("/home/u/100%%/v")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoginItemService::quotedExec(QString::fromUtf8(c.program)), QString::fromUtf8(c.exec)) << c.program;
}
