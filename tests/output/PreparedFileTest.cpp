#include "app/output/FileAccessLease.h"
#include "app/output/FileWriteError.h"
#include "app/output/PreparedFile.h"
#include "core/CancellationError.h"
#include "support/FakeFolderAccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vorlith;
using test::FakeFolderAccess;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Names in the folder, hidden ones included.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Dirs, QDir::Name);
}

void writeFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

class PreparedFileTest : public ::testing::Test {
protected:
    std::shared_ptr<FileAccessLease> lease(const QString& path)
    {
        return std::make_shared<FileAccessLease>(access, path);
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeFolderAccess> access = std::make_shared<FakeFolderAccess>();
};

} // namespace

TEST_F(PreparedFileTest, NewFileGetsTheUmaskModeAndNoStagingFileRemains)
{
    const QString destination = folder.filePath(QStringLiteral("截图 新.png"));
    {
        PreparedFile file(QByteArray("png bytes"), destination, lease(destination));
        EXPECT_TRUE(QFileInfo(file.temporary()).absolutePath() == QFileInfo(destination).absolutePath())
            << "staged in the destination's folder";
        EXPECT_FALSE(QFile::exists(destination)) << "staging never touches the destination";
        file.place();
    }
    EXPECT_EQ(contents(destination), QByteArray("png bytes"));
    EXPECT_EQ(modeOf(destination), 0666 & ~currentUmask());
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("截图 新.png")});
    EXPECT_TRUE(access->open().isEmpty()) << access->log().join(',').toStdString();
}

TEST_F(PreparedFileTest, ReplacedFileKeepsItsPermissions)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755)}) {
        const QString destination = folder.filePath(QStringLiteral("keep-%1.png").arg(mode, 0, 8));
        writeFile(destination, "old contents, longer than the new", mode);
        {
            PreparedFile file(QByteArray("new"), destination, lease(destination));
            EXPECT_EQ(contents(destination), QByteArray("old contents, longer than the new"));
            file.place();
        }
        EXPECT_EQ(contents(destination), QByteArray("new"));
        EXPECT_EQ(modeOf(destination), mode);
    }
    for (const QString& name : entries(folder.path()))
        EXPECT_FALSE(name.startsWith(QLatin1String(PreparedFile::stagingPrefix))) << name.toStdString();
}

TEST_F(PreparedFileTest, CancelledOrUnplacedStagingLeavesTheDestinationAsItWas)
{
    const QString destination = folder.filePath(QStringLiteral("shot.png"));
    writeFile(destination, "original", 0644);

    std::stop_source cancelled;
    cancelled.request_stop();
    EXPECT_THROW(PreparedFile(QByteArray("new"), destination, lease(destination), cancelled.get_token()),
                 CancellationError);
    {
        PreparedFile dropped(QByteArray("new"), destination, lease(destination));
        EXPECT_TRUE(QFile::exists(dropped.temporary()));
    }
    EXPECT_EQ(contents(destination), QByteArray("original"));
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("shot.png")});
    EXPECT_TRUE(access->open().isEmpty());
}

TEST_F(PreparedFileTest, SystemErrorsBecomeShortChineseSentences)
{
    const QString missing = folder.filePath(QStringLiteral("no such folder/shot.png"));
    try {
        PreparedFile file(QByteArray("x"), missing, lease(missing));
        FAIL() << "staged into a missing folder";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("目标文件夹不存在。"));
    }

    const QString directory = folder.filePath(QStringLiteral("taken.png"));
    ASSERT_TRUE(QDir().mkpath(directory));
    PreparedFile file(QByteArray("x"), directory, lease(directory));
    try {
        file.place();
        FAIL() << "replaced a folder";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("已有同名的文件夹。"));
    }
    EXPECT_TRUE(QFileInfo(directory).isDir());
}

TEST_F(PreparedFileTest, AFileLargerThanOneWriteChunkArrivesByteForByte)
{
    // 9 MiB that never repeat, so a chunk written twice or skipped shows.
    QByteArray data(9 * 1024 * 1024, Qt::Uninitialized);
    quint32 state = 12345;
    for (char& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    const QString destination = folder.filePath(QStringLiteral("big.png"));
    {
        PreparedFile file(data, destination, lease(destination));
        file.place();
    }
    EXPECT_TRUE(contents(destination) == data);
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("big.png")});
}

TEST_F(PreparedFileTest, AWriteThatFailsAfterStagingBeganLeavesNoStagingFile)
{
    // A file-size limit makes the write fail with EFBIG once the staging file exists.
    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousSignal = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = 1024 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString destination = folder.filePath(QStringLiteral("too-big.png"));
    bool failed = false;
    try {
        PreparedFile file(QByteArray(2 * 1024 * 1024, 'x'), destination, lease(destination));
    } catch (const FileWriteError&) {
        failed = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::signal(SIGXFSZ, previousSignal);
    EXPECT_TRUE(failed);
    EXPECT_EQ(entries(folder.path()), QStringList{});
}
