#include "app/settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlith;
using Outcome = SettingsFileRead::Outcome;

namespace {

struct FileFixture {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("settings.json")); }
    SettingsFileRead readBytes(const QByteArray& bytes)
    {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return settingsFile::read(path());
    }
};

const QByteArray fullFile =
    R"({"schemaVersion":3,"shortcut":{"keyCode":0,"modifiers":4864,"label":"⌃⇧⌘A"},)"
    R"("pinShortcut":{"keyCode":4294967295,"modifiers":4294967295,"label":""},"format":"JPEG",)"
    R"("directory":"file:///home/u/%E5%9B%BE%E7%89%87/","directoryBookmark":"L2hvbWUvdS/lm77niYc=",)"
    R"("launchAtLogin":false,"loginItemInitialized":true,"automaticUpdateChecks":false})";

} // namespace

TEST(SettingsFile, ReadsEveryKeyOfACurrentFile)
{
    FileFixture f;
    const SettingsFileRead read = f.readBytes(fullFile);
    ASSERT_EQ(read.outcome, Outcome::current);
    const AppSettings& s = read.settings;
    EXPECT_EQ(s.shortcut, (ShortcutSpec{0, 0x1300, QStringLiteral("⌃⇧⌘A")}));
    EXPECT_EQ(s.pinShortcut, (ShortcutSpec{4294967295u, 4294967295u, QString()}));
    EXPECT_EQ(s.format, ImageFormat::jpeg);
    EXPECT_EQ(s.directory.toLocalFile(), QStringLiteral("/home/u/图片/"));
    EXPECT_EQ(s.directoryBookmark, QByteArray("/home/u/图片"));
    EXPECT_FALSE(s.launchAtLogin);
    EXPECT_TRUE(s.loginItemInitialized);
    EXPECT_EQ(s.automaticUpdateChecks, false);
    EXPECT_TRUE(read.bytes.isEmpty()) << "a current file keeps no migration bytes";
}

TEST(SettingsFile, OutcomeTable)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        Outcome outcome;
        std::int64_t sourceSchema = 0;
    };
    const QByteArray big = QByteArray("{\"x\":\"") + QByteArray(int(settingsFile::maximumSize), 'a') + "\"}";
    const Case cases[] = {
        {"empty object", "{}", Outcome::older, 0},
        {"no schema, values", R"({"format":"JPEG","launchAtLogin":false})", Outcome::older, 0},
        {"schema null", R"({"schemaVersion":null})", Outcome::older, 0},
        {"schema 2", R"({"schemaVersion":2,"format":"JPEG"})", Outcome::older, 2},
        {"schema 0", R"({"schemaVersion":0})", Outcome::older, 0},
        {"schema 3 written as 3.0", R"({"schemaVersion":3.0})", Outcome::current},
        {"schema 4", R"({"schemaVersion":4,"format":"nonsense"})", Outcome::newer},
        {"schema -1", R"({"schemaVersion":-1})", Outcome::newer},
        {"schema as text", R"({"schemaVersion":"3"})", Outcome::unreadable},
        {"schema beyond int64", R"({"schemaVersion":18446744073709551615})", Outcome::unreadable},
        {"shortcut without label", R"({"schemaVersion":3,"shortcut":{"keyCode":122,"modifiers":0}})", Outcome::unreadable},
        {"shortcut label null", R"({"shortcut":{"keyCode":122,"modifiers":0,"label":null}})", Outcome::unreadable},
        {"key code negative", R"({"shortcut":{"keyCode":-1,"modifiers":0,"label":"x"}})", Outcome::unreadable},
        {"key code above 32 bits", R"({"shortcut":{"keyCode":4294967296,"modifiers":0,"label":"x"}})", Outcome::unreadable},
        {"modifiers fractional", R"({"shortcut":{"keyCode":1,"modifiers":0.5,"label":"x"}})", Outcome::unreadable},
        {"shortcut null is the default", R"({"schemaVersion":3,"shortcut":null})", Outcome::current},
        {"format lower case", R"({"format":"png"})", Outcome::unreadable},
        {"format number", R"({"format":1})", Outcome::unreadable},
        {"directory empty", R"({"directory":""})", Outcome::unreadable},
        {"directory not text", R"({"directory":5})", Outcome::unreadable},
        {"bookmark not Base64", R"({"directoryBookmark":"***"})", Outcome::unreadable},
        {"boolean as number", R"({"launchAtLogin":1})", Outcome::unreadable},
        {"update answer as text", R"({"automaticUpdateChecks":"yes"})", Outcome::unreadable},
        {"not JSON", "{\"schemaVersion\":3", Outcome::unreadable},
        {"an array", "[]", Outcome::unreadable},
        {"empty file", "", Outcome::unreadable},
        {"NUL inside", QByteArray("{}\0", 3), Outcome::unreadable},
        {"larger than 1 MiB", big, Outcome::unreadable},
    };
    for (const Case& c : cases) {
        FileFixture f;
        const SettingsFileRead read = f.readBytes(c.bytes);
        EXPECT_EQ(read.outcome, c.outcome) << c.name;
        if (c.outcome == Outcome::older) {
            EXPECT_EQ(read.sourceSchema, c.sourceSchema) << c.name;
            EXPECT_EQ(read.bytes, c.bytes) << c.name;
        }
        if (c.outcome == Outcome::newer || c.outcome == Outcome::unreadable) {
            EXPECT_EQ(read.settings, AppSettings{}) << c.name << ": defaults stand";
        }
    }
}

TEST(SettingsFile, AbsentAndNullKeysTakeTheirDefaults)
{
    FileFixture f;
    const SettingsFileRead read = f.readBytes(
        R"({"schemaVersion":3,"format":null,"automaticUpdateChecks":null,"directoryBookmark":null,"future":{"x":1}})");
    ASSERT_EQ(read.outcome, Outcome::current);
    EXPECT_EQ(read.settings, AppSettings{});
    EXPECT_EQ(read.settings.shortcut, (ShortcutSpec{122, 0, QStringLiteral("F1")}));
    EXPECT_EQ(read.settings.pinShortcut, (ShortcutSpec{120, 0, QStringLiteral("F2")}));
    EXPECT_TRUE(read.settings.launchAtLogin);
    EXPECT_FALSE(read.settings.automaticUpdateChecks.has_value());
}

TEST(SettingsFile, NoFileAndAFolderInItsPlace)
{
    FileFixture f;
    EXPECT_EQ(settingsFile::read(f.path()).outcome, Outcome::noFile);
    ASSERT_TRUE(QDir(f.dir.path()).mkdir(QStringLiteral("settings.json")));
    EXPECT_EQ(settingsFile::read(f.path()).outcome, Outcome::unreadable);
}

TEST(SettingsFile, WritesCompactJsonWithOptionalKeysOnlyWhenSet)
{
    AppSettings s;
    s.directory = QUrl::fromLocalFile(QStringLiteral("/home/u/下载/"));
    EXPECT_EQ(s.encoded(),
              QByteArray(R"({"directory":"file:///home/u/%E4%B8%8B%E8%BD%BD/","format":"PNG","launchAtLogin":true,)"
                         R"("loginItemInitialized":false,"pinShortcut":{"keyCode":120,"label":"F2","modifiers":0},)"
                         R"("schemaVersion":3,"shortcut":{"keyCode":122,"label":"F1","modifiers":0}})"));

    s.directoryBookmark = QByteArray("/home/u/下载");
    s.automaticUpdateChecks = true;
    s.format = ImageFormat::jpeg;
    s.shortcut = {0, 0x1900, QStringLiteral("⌃⌥⌘A \"q\"")};
    EXPECT_EQ(s.encoded(),
              QByteArray(R"({"automaticUpdateChecks":true,"directory":"file:///home/u/%E4%B8%8B%E8%BD%BD/",)"
                         R"("directoryBookmark":"L2hvbWUvdS/kuIvovb0=","format":"JPEG","launchAtLogin":true,)"
                         R"("loginItemInitialized":false,"pinShortcut":{"keyCode":120,"label":"F2","modifiers":0},)"
                         R"("schemaVersion":3,"shortcut":{"keyCode":0,"label":"⌃⌥⌘A \"q\"","modifiers":6400}})"));
    EXPECT_EQ(AppSettings::decoded(s.encoded()), s) << "what is written reads back equal";
}

TEST(SettingsFile, BackupNamesAndInfo)
{
    EXPECT_EQ(settingsFile::backupPath(QStringLiteral("/c/Tolvane/settings.json")),
              QStringLiteral("/c/Tolvane/settings.pre-schema3.json"));
    EXPECT_EQ(settingsFile::backupInfoPath(QStringLiteral("/c/Tolvane/settings.json")),
              QStringLiteral("/c/Tolvane/settings.pre-schema3-info.json"));
    EXPECT_EQ(settingsFile::backupPath(QStringLiteral("/c/a.b.json")), QStringLiteral("/c/a.b.pre-schema3.json"));
    EXPECT_EQ(settingsFile::backupPath(QStringLiteral("/c/prefs")), QStringLiteral("/c/prefs.pre-schema3.json"));

    const BackupInfo info{2, settingsFile::sha256Hex(R"({"schemaVersion":2,"format":"JPEG"})")};
    EXPECT_EQ(info.encoded(),
              QByteArray(R"({"sha256":"3ed910e5a323fb7808a005819baea0c4d65d5d396f7847b8101573bbd9ba3f34","sourceSchemaVersion":2})"));
}

// An object of many keys near the size limit still reads (bench_settings_parse times it
// against the ordered JSON type, which spends seconds on such a file).
TEST(SettingsFile, ManyKeysNearTheLimitRead)
{
    QByteArray bytes = "{";
    for (int i = 0; bytes.size() < settingsFile::maximumSize - 64; ++i)
        bytes += "\"k" + QByteArray::number(i) + "\":0,";
    bytes += "\"schemaVersion\":3}";
    FileFixture f;
    EXPECT_EQ(f.readBytes(bytes).outcome, Outcome::current);
}

TEST(SettingsFile, DeepNestingIsUnreadableNotACrash)
{
    FileFixture f;
    EXPECT_EQ(f.readBytes(QByteArray(1000000, '[')).outcome, Outcome::unreadable);
    const QByteArray nested = "{\"x\":" + QByteArray(400000, '[') + QByteArray(400000, ']') + "}";
    EXPECT_EQ(f.readBytes(nested).outcome, Outcome::older);
}
