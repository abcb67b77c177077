#include "app/output/ImageFormat.h"

#include <gtest/gtest.h>

using namespace vorlith;

TEST(ImageFormat, RawValuesMatchExactly)
{
    EXPECT_EQ(rawValue(ImageFormat::png), QStringLiteral("PNG"));
    EXPECT_EQ(rawValue(ImageFormat::jpeg), QStringLiteral("JPEG"));
    EXPECT_EQ(imageFormatFromRawValue(QStringLiteral("JPEG")), ImageFormat::jpeg);
    for (const char* other : {"png", "Png", "jpeg", "JPG", "", " PNG"})
        EXPECT_FALSE(imageFormatFromRawValue(QString::fromLatin1(other))) << other;
    EXPECT_EQ(fileExtension(ImageFormat::jpeg), QStringLiteral("jpg"));
}

TEST(ImageFormat, CodedFormIsTheRawValue)
{
    EXPECT_EQ(toJson(ImageFormat::png), Json("PNG"));
    EXPECT_EQ(imageFormatFromJson(Json("JPEG")), ImageFormat::jpeg);
    for (const Json& bad : {Json("png"), Json("jpg"), Json(1), Json(nullptr), Json::array()})
        EXPECT_THROW(imageFormatFromJson(bad), JsonDecodeError) << bad.dump();
}

TEST(ImageFormat, FormatChangeRewritesTheExtension)
{
    struct Case {
        const char* name;
        ImageFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {"截图 2024-05-01 09.30.15", ImageFormat::jpeg, "截图 2024-05-01 09.30.15.jpg"},
        {"截图 2024-05-01 09.30.15.jpg", ImageFormat::png, "截图 2024-05-01 09.30.15.png"},
        {"Report.PNG", ImageFormat::jpeg, "Report.jpg"},
        {"photo.JPEG", ImageFormat::png, "photo.png"},
        {"photo.jpeg", ImageFormat::jpeg, "photo.jpg"},
        {"notes.txt", ImageFormat::png, "notes.txt.png"},
        {"plain", ImageFormat::png, "plain.png"},
        {"", ImageFormat::jpeg, ".jpg"},
        {"archive.png.gz", ImageFormat::jpeg, "archive.png.gz.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renamedForFormat(QString::fromUtf8(c.name), c.format), QString::fromUtf8(c.expected)) << c.name;
}

TEST(ImageFormat, WrittenNameAlwaysCarriesTheFormatsExtension)
{
    struct Case {
        const char* name;
        ImageFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {"shot.png", ImageFormat::png, "shot.png"},
        {"shot.PNG", ImageFormat::png, "shot.PNG"},
        {"shot.jpeg", ImageFormat::jpeg, "shot.jpeg"},
        {"shot.Jpg", ImageFormat::jpeg, "shot.Jpg"},
        {"shot.png", ImageFormat::jpeg, "shot.png.jpg"},
        {"shot.jpg", ImageFormat::png, "shot.jpg.png"},
        {"截图 2024-05-01 09.30.15", ImageFormat::png, "截图 2024-05-01 09.30.15.png"},
        {".png", ImageFormat::png, ".png.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileNameForFormat(QString::fromUtf8(c.name), c.format), QString::fromUtf8(c.expected)) << c.name;
}
