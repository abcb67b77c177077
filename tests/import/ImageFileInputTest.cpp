#include "app/import/ImageFileInput.h"
#include "app/import/PinImageFileClassifier.h"
#include "core/CancellationError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>

using namespace vorlith;
using Kind = PinImageFileClassifier::Kind;
using Code = ImageFileInput::Error::Code;

namespace {

class FileFixture : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    void makeFifo(const QString& name) const
    {
        ASSERT_EQ(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
    }

    QTemporaryDir m_dir;
};

std::optional<Code> openError(const QUrl& url)
{
    try {
        ImageFileInput input(url);
        return std::nullopt;
    } catch (const ImageFileInput::Error& error) {
        return error.code();
    }
}

std::optional<Code> readError(ImageFileInput& input)
{
    try {
        input.read();
        return std::nullopt;
    } catch (const ImageFileInput::Error& error) {
        return error.code();
    }
}

} // namespace

TEST_F(FileFixture, ClassifiesByNameFirstThenByWhatTheItemIs)
{
    write(QStringLiteral("photo.jpg"), "this is text, not a JPEG");
    write(QStringLiteral("SHOUT.PNG"), "x");
    write(QStringLiteral("notes.txt"), "text");
    write(QStringLiteral("blob"), "data without a name that says anything");
    write(QStringLiteral("archive.tar.gz"), "x");
    write(QStringLiteral("drawing.svg"), "<svg/>");
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.png"));
    makeFifo(QStringLiteral("pipe"));
    makeFifo(QStringLiteral("pipe.png"));

    const struct {
        QUrl url;
        Kind kind;
    } cases[] = {
        {QUrl(QStringLiteral("https://example.com/a.png")), Kind::unknown}, // not a file URL
        {url(QStringLiteral("folder")), Kind::nonImage},
        {url(QStringLiteral("folder.png")), Kind::nonImage},                // a directory, whatever its name
        {url(QStringLiteral("photo.jpg")), Kind::image},                    // the name is enough
        {url(QStringLiteral("SHOUT.PNG")), Kind::image},
        {url(QStringLiteral("drawing.svg")), Kind::image},                  // the decoder refuses it later
        {url(QStringLiteral("missing.png")), Kind::image},                  // opening fails later
        {url(QStringLiteral("missing.txt")), Kind::unknown},                // nothing known about it
        {url(QStringLiteral("notes.txt")), Kind::nonImage},
        {url(QStringLiteral("archive.tar.gz")), Kind::nonImage},
        {url(QStringLiteral("blob")), Kind::unknown},                       // generic data
        {url(QStringLiteral("pipe")), Kind::unknown},                       // not a regular file
        {url(QStringLiteral("pipe.png")), Kind::image},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PinImageFileClassifier::classify(c.url), c.kind) << c.url.toString().toStdString();
}

TEST(PinImageFileClassifier, ImageTypesIncludeThoseWhoseAncestorIsAnImage)
{
    EXPECT_TRUE(PinImageFileClassifier::isImageType(QStringLiteral("image/png")));
    EXPECT_TRUE(PinImageFileClassifier::isImageType(QStringLiteral("video/x-mjpeg"))); // a kind of image/jpeg
    EXPECT_FALSE(PinImageFileClassifier::isImageType(QStringLiteral("text/plain")));
    EXPECT_FALSE(PinImageFileClassifier::isImageType(QStringLiteral("application/octet-stream")));
}

TEST_F(FileFixture, OpeningRefusesWhatIsNotOneReadableNonEmptyRegularFile)
{
    write(QStringLiteral("empty.png"), {});
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.png"));
    makeFifo(QStringLiteral("pipe.png")); // nobody writes: a blocking open would hang here

    const struct {
        QUrl url;
        Code code;
    } cases[] = {
        {QUrl(QStringLiteral("https://example.com/a.png")), Code::unsupportedScheme},
        {url(QStringLiteral("missing.png")), Code::noPermission},
        {url(QStringLiteral("empty.png")), Code::corruptFile},
        {url(QStringLiteral("folder.png")), Code::corruptFile},
        {url(QStringLiteral("pipe.png")), Code::corruptFile},
    };
    for (const auto& c : cases)
        EXPECT_EQ(openError(c.url), c.code) << c.url.toString().toStdString();
}

TEST_F(FileFixture, OpeningAFileWithoutReadPermissionFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString file = write(QStringLiteral("secret.png"), "x");
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::WriteOwner));
    EXPECT_EQ(openError(url(QStringLiteral("secret.png"))), Code::noPermission);
}

TEST_F(FileFixture, ReadsTheWholeFileAcrossChunkBoundaries)
{
    for (const qint64 size : {qint64(1), ImageFileInput::chunkBytes - 1, ImageFileInput::chunkBytes,
                              2 * ImageFileInput::chunkBytes, 2 * ImageFileInput::chunkBytes + 1}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char(i * 31 % 251);
        write(QStringLiteral("f.png"), bytes);
        ImageFileInput input(url(QStringLiteral("f.png")));
        EXPECT_EQ(input.byteCount(), size);
        EXPECT_EQ(input.read(), bytes) << size;
    }
}

TEST_F(FileFixture, AFileThatGrowsOrShrinksAfterOpeningIsRefused)
{
    const QByteArray bytes(3 * ImageFileInput::chunkBytes + 5, 'a');
    write(QStringLiteral("grows.png"), bytes);
    write(QStringLiteral("shrinks.png"), bytes);
    write(QStringLiteral("exact.png"), bytes);

    ImageFileInput grows(url(QStringLiteral("grows.png")));
    ImageFileInput shrinks(url(QStringLiteral("shrinks.png")));
    ImageFileInput exact(url(QStringLiteral("exact.png")));
    {
        QFile file(path(QStringLiteral("grows.png")));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("more");
    }
    ASSERT_TRUE(QFile::resize(path(QStringLiteral("shrinks.png")), ImageFileInput::chunkBytes));

    EXPECT_EQ(readError(grows), Code::tooLarge);
    EXPECT_EQ(readError(shrinks), Code::corruptFile);
    EXPECT_EQ(readError(exact), std::nullopt);
}

TEST_F(FileFixture, ACancelledReadStopsBeforeItsFirstChunk)
{
    write(QStringLiteral("f.png"), QByteArray(10, 'a'));
    ImageFileInput input(url(QStringLiteral("f.png")));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(input.read(stop.get_token()), CancellationError);
}

TEST_F(FileFixture, LinksAndPathFormsOfOneFileShareAnIdentity)
{
    write(QStringLiteral("a.png"), "x");
    write(QStringLiteral("other.png"), "x");
    QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
    ASSERT_EQ(::link(QFile::encodeName(path(QStringLiteral("a.png"))).constData(),
                     QFile::encodeName(path(QStringLiteral("hard.png"))).constData()), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("a.png")), path(QStringLiteral("soft.png"))));

    const ImageFileInput original(url(QStringLiteral("a.png")));
    const ImageFileInput hard(url(QStringLiteral("hard.png")));
    const ImageFileInput soft(url(QStringLiteral("soft.png")));
    const ImageFileInput roundabout(QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/sub/../a.png")));
    const ImageFileInput other(url(QStringLiteral("other.png")));
    EXPECT_EQ(hard.identity(), original.identity());
    EXPECT_EQ(soft.identity(), original.identity());
    EXPECT_EQ(roundabout.identity(), original.identity());
    EXPECT_FALSE(other.identity() == original.identity());
}

TEST(ImageFileInputIdentity, DevicesThatAgreeInTheirLow32BitsDiffer)
{
    const ImageFileInput::Identity low{dev_t(0x0000'0000'0000'0801), 12};
    const ImageFileInput::Identity high{dev_t(0x0000'0001'0000'0801), 12};
    EXPECT_FALSE(low == high);
    EXPECT_NE(qHash(low), qHash(high));
}
