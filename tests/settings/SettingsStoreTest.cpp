#include "app/output/FileWriteError.h"
#include "app/settings/HotKeyError.h"
#include "app/settings/SettingsError.h"
#include "app/settings/SettingsFile.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/ShortcutService.h"
#include "support/FakeFolderAccess.h"
#include "support/FakeHotKeyRegistrar.h"
#include "support/FakeLoginItemService.h"
#include "support/MemoryLogSink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cerrno>
#include <future>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A settings file in a temporary folder, a store over it whose writes are recorded (and can
// be made to fail), and the hot keys and login item of a save.
struct StoreFixture {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Tolvane/settings.json"));
    QString folder = dir.filePath(QStringLiteral("pictures"));
    QStringList writes; // file names written, in order
    int failWritesOf = -1; // errno for writes of `failingName`
    QString failingName;
    std::shared_ptr<FakeHotKeyRegistrar> registrar = std::make_shared<FakeHotKeyRegistrar>();
    ShortcutService shortcuts{registrar};
    FakeLoginItemService login;
    ScopedLogCapture log;

    StoreFixture() { QDir().mkpath(folder); }

    std::unique_ptr<SettingsStore> open(std::shared_ptr<FolderAccess> access = {})
    {
        return std::make_unique<SettingsStore>(
            path,
            [this](const QByteArray& bytes, const QString& target) {
                const QString name = QFileInfo(target).fileName();
                if (failWritesOf >= 0 && (failingName.isEmpty() || failingName == name))
                    throw FileWriteError::fromErrno(failWritesOf);
                writes << name;
                SettingsStore::defaultWriteData(bytes, target);
            },
            std::move(access));
    }
    AppSettings draft(const SettingsStore& store) const
    {
        AppSettings d = store.current();
        d.directory = QUrl::fromLocalFile(folder + QLatin1Char('/'));
        return d;
    }
};

template<class Error, class F>
Error expectThrows(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "threw another error: " << e.what();
        throw;
    }
    ADD_FAILURE() << "did not throw";
    throw std::logic_error("no throw");
}

} // namespace

TEST(SettingsStore, LoadStatesAtConstruction)
{
    {
        StoreFixture f;
        auto store = f.open();
        EXPECT_EQ(store->current(), AppSettings{});
        EXPECT_FALSE(store->loadError());
        EXPECT_FALSE(QFile::exists(f.path)) << "reading writes nothing";
    }
    {
        StoreFixture f;
        writeFile(f.path, R"({"schemaVersion":4,"format":"JPEG"})");
        auto store = f.open();
        EXPECT_TRUE(store->unsupportedSchema());
        EXPECT_EQ(store->loadError(), QStringLiteral("设置来自较新版本，当前版本无法修改。请使用较新版本打开，原设置文件已保留。"));
        EXPECT_EQ(store->current(), AppSettings{});
    }
    {
        StoreFixture f;
        writeFile(f.path, R"({"format":"BMP"})");
        auto store = f.open();
        EXPECT_FALSE(store->unsupportedSchema());
        EXPECT_EQ(store->loadError(), QStringLiteral("设置读取失败，暂时使用默认值。原设置文件未被修改。"));
    }
}

TEST(SettingsStore, NewerSchemaRefusesEveryWriteAndKeepsTheFile)
{
    StoreFixture f;
    const QByteArray newer = R"({"schemaVersion":-1,"launchAtLogin":false})";
    writeFile(f.path, newer);
    auto store = f.open();
    const auto error = expectThrows<SettingsError>([&] { store->commit(f.draft(*store), f.shortcuts, &f.login, true); });
    EXPECT_EQ(error.code(), SettingsError::readOnly);
    EXPECT_EQ(error.description(), *store->loadError());
    EXPECT_EQ(expectThrows<SettingsError>([&] { store->setAutomaticUpdateChecks(true); }).code(), SettingsError::readOnly);
    store->initializeLoginItemIfNeeded(f.login);
    EXPECT_TRUE(f.login.calls.isEmpty());
    EXPECT_TRUE(f.writes.isEmpty());
    EXPECT_TRUE(f.registrar->calls.isEmpty()) << "no hot key was even prepared";
    EXPECT_EQ(fileBytes(f.path), newer);
}

// A file without a schema is migrated by its first write: the old bytes, their record, then
// the file at schema 3; a second save writes no backups.
TEST(SettingsStore, MigrationWritesBothBackupsOnce)
{
    StoreFixture f;
    const QByteArray old = "{\"shortcut\":{\"keyCode\":122,\"modifiers\":256,\"label\":\"⌘F1\"},\"format\":\"JPEG\",\"extra\":[1,2]}";
    writeFile(f.path, old);
    auto store = f.open();
    EXPECT_EQ(store->current().format, ImageFormat::jpeg);
    EXPECT_EQ(store->current().shortcut.modifiers, 256u);

    store->setAutomaticUpdateChecks(false);
    EXPECT_EQ(f.writes, (QStringList{"settings.pre-schema3.json", "settings.pre-schema3-info.json", "settings.json"}));
    EXPECT_EQ(fileBytes(settingsFile::backupPath(f.path)), old);
    EXPECT_EQ(fileBytes(settingsFile::backupInfoPath(f.path)),
              QByteArray(R"({"sha256":"af529d2d78a3d3357217e2ee063c1012de338d49b9dae8a748290d21d3034bd0","sourceSchemaVersion":0})"));
    const QByteArray written = fileBytes(f.path);
    EXPECT_TRUE(written.contains("\"schemaVersion\":3"));
    EXPECT_FALSE(written.contains("extra")) << "unknown keys are not written back";
    EXPECT_TRUE(written.contains("\"automaticUpdateChecks\":false"));

    f.writes.clear();
    store->commit(f.draft(*store), f.shortcuts, nullptr, false);
    EXPECT_EQ(f.writes, QStringList{"settings.json"});

    // The next start reads a current file and migrates nothing.
    f.writes.clear();
    auto again = f.open();
    again->setAutomaticUpdateChecks(true);
    EXPECT_EQ(f.writes, QStringList{"settings.json"});
}

TEST(SettingsStore, ExistingBackupEqualStaysDifferentBlocks)
{
    const QByteArray old = R"({"schemaVersion":2,"format":"JPEG"})";
    {
        StoreFixture f;
        writeFile(f.path, old);
        writeFile(settingsFile::backupPath(f.path), old);
        auto store = f.open();
        store->setAutomaticUpdateChecks(true);
        EXPECT_EQ(f.writes, (QStringList{"settings.pre-schema3-info.json", "settings.json"}));
        EXPECT_TRUE(fileBytes(settingsFile::backupInfoPath(f.path)).contains("\"sourceSchemaVersion\":2"));
    }
    {
        StoreFixture f;
        writeFile(f.path, old);
        QByteArray other = old;
        other[other.size() - 2] = 'X';
        writeFile(settingsFile::backupPath(f.path), other);
        auto store = f.open();
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto error = expectThrows<SettingsError>([&] { store->commit(f.draft(*store), f.shortcuts, nullptr, false); });
            EXPECT_EQ(error.code(), SettingsError::backupMismatch);
            EXPECT_EQ(error.description(),
                      QStringLiteral("迁移前设置备份与当前旧设置不一致，设置未保存。请先保留两份设置后重试。"));
        }
        EXPECT_TRUE(f.writes.isEmpty());
        EXPECT_EQ(fileBytes(f.path), old);
        EXPECT_EQ(fileBytes(settingsFile::backupPath(f.path)), other);
        EXPECT_FALSE(QFile::exists(settingsFile::backupInfoPath(f.path)));
        EXPECT_TRUE(f.registrar->active.empty()) << "the prepared hot keys were rolled back";
    }
}

TEST(SettingsStore, FailedBackupWriteIsRepeatedOnTheNextSave)
{
    StoreFixture f;
    writeFile(f.path, "{}");
    auto store = f.open();
    f.failWritesOf = ENOSPC;
    f.failingName = QStringLiteral("settings.pre-schema3-info.json");
    const auto error = expectThrows<FileWriteError>([&] { store->setAutomaticUpdateChecks(true); });
    EXPECT_EQ(error.description(), QStringLiteral("磁盘空间不足。"));
    EXPECT_FALSE(store->current().automaticUpdateChecks);
    EXPECT_EQ(fileBytes(f.path), QByteArray("{}"));
    f.failWritesOf = -1;
    f.writes.clear();
    store->setAutomaticUpdateChecks(true);
    EXPECT_EQ(f.writes, (QStringList{"settings.pre-schema3-info.json", "settings.json"}))
        << "the identical old-bytes backup stays; the info is written again";
}

TEST(SettingsStore, UnreadableFileIsReplacedByTheFirstSaveAndKeptBesideIt)
{
    StoreFixture f;
    writeFile(f.path, "not json");
    auto store = f.open();
    store->initializeLoginItemIfNeeded(f.login);
    EXPECT_TRUE(f.writes.isEmpty()) << "the first-run step never overwrites an unreadable file";
    // Nor does the answer to the update question: it is refused with the load error, as a
    // newer file's writes are.
    const auto refused = expectThrows<SettingsError>([&] { store->setAutomaticUpdateChecks(true); });
    EXPECT_EQ(refused.code(), SettingsError::readOnly);
    EXPECT_EQ(refused.description(), QStringLiteral("设置读取失败，暂时使用默认值。原设置文件未被修改。"));
    EXPECT_TRUE(f.writes.isEmpty());
    EXPECT_EQ(fileBytes(f.path), QByteArray("not json"));
    EXPECT_FALSE(store->current().automaticUpdateChecks);

    store->commit(f.draft(*store), f.shortcuts, nullptr, false);
    EXPECT_FALSE(store->loadError());
    EXPECT_EQ(f.writes, QStringList{"settings.json"});
    EXPECT_EQ(settingsFile::read(f.path).outcome, SettingsFileRead::Outcome::current);
    const QString kept = f.dir.filePath(QStringLiteral("Tolvane/settings.unreadable.json"));
    EXPECT_EQ(fileBytes(kept), "not json") << "the bytes the user may still need";

    // Once a save has replaced the file, the answer is stored like any other, and later
    // saves replace only the file they wrote; an unreadable file of a later run is kept under
    // the next free name.
    store->setAutomaticUpdateChecks(true);
    EXPECT_EQ(store->current().automaticUpdateChecks, true);
    EXPECT_EQ(fileBytes(kept), "not json");
    writeFile(f.path, "still not json");
    auto next = f.open();
    next->commit(f.draft(*next), f.shortcuts, nullptr, false);
    EXPECT_EQ(fileBytes(kept), "not json");
    EXPECT_EQ(fileBytes(f.dir.filePath(QStringLiteral("Tolvane/settings.unreadable-2.json"))), "still not json");
}

TEST(SettingsStore, SuccessfulCommitTakesEverything)
{
    StoreFixture f;
    auto store = f.open();
    f.shortcuts.registerActions({{ShortcutAction::capture, ShortcutSpec::defaultCapture()},
                                 {ShortcutAction::pin, ShortcutSpec::defaultPin()}});
    AppSettings draft = f.draft(*store);
    draft.pinShortcut = {99, 0, QStringLiteral("F3")};
    draft.launchAtLogin = true;
    store->commit(draft, f.shortcuts, &f.login, true);
    EXPECT_EQ(f.login.current, LoginItemStatus::enabled);
    EXPECT_TRUE(store->current().loginItemInitialized) << "a save that switched the login item records the step";
    draft.loginItemInitialized = true;
    EXPECT_EQ(store->current(), draft);
    EXPECT_EQ(f.shortcuts.bindings().at(ShortcutAction::pin), draft.pinShortcut);
    EXPECT_EQ(f.registrar->idOf(120), 0u) << "the old pin chord is released";
    EXPECT_NE(f.registrar->idOf(99), 0u);
    EXPECT_EQ(f.open()->current(), draft) << "what was saved reads back";
}

// Whatever fails, the file, `current` and the hot keys stay as they were.
TEST(SettingsStore, FailedCommitsChangeNothing)
{
    struct Case {
        const char* name;
        std::function<void(StoreFixture&, AppSettings&)> arrange;
        int code; // settings or hot-key code; 0 for a passed-on platform error
        QString description;
    };
    const Case cases[] = {
        {"folder deleted",
         [](StoreFixture& f, AppSettings&) { QDir(f.folder).removeRecursively(); },
         SettingsError::folderUnavailable, QStringLiteral("保存位置已不可用，请重新选择文件夹。")},
        {"folder is a file",
         [](StoreFixture& f, AppSettings& d) {
             writeFile(f.folder + QStringLiteral("/file"), "x");
             d.directory = QUrl::fromLocalFile(f.folder + QStringLiteral("/file"));
         },
         SettingsError::folderUnavailable, QStringLiteral("保存位置已不可用，请重新选择文件夹。")},
        {"pin equals capture",
         [](StoreFixture&, AppSettings& d) { d.pinShortcut = {122, 0, QStringLiteral("F1 again")}; },
         HotKeyError::duplicateChordCode, QStringLiteral("截图和图片置顶不能使用相同快捷键，请修改其中一项。")},
        {"pin chord taken by another client",
         [](StoreFixture& f, AppSettings& d) {
             d.pinShortcut = {99, 0, QStringLiteral("F3")};
             f.registrar->taken.insert({99, 0});
         },
         FakeHotKeyRegistrar::takenStatus, QStringLiteral("无法注册该快捷键，可能已被系统或其他应用占用。请换一个按键。")},
        {"login item refused",
         [](StoreFixture& f, AppSettings& d) {
             d.launchAtLogin = true;
             f.login.failures.push_back(EACCES);
         },
         0, QStringLiteral("没有写入该位置的权限。")},
        {"file write fails",
         [](StoreFixture& f, AppSettings& d) {
             d.pinShortcut = {99, 0, QStringLiteral("F3")};
             f.failWritesOf = EROFS;
         },
         0, QStringLiteral("该位置是只读的。")},
    };
    for (const Case& c : cases) {
        StoreFixture f;
        auto store = f.open();
        AppSettings before = f.draft(*store);
        before.launchAtLogin = false;
        store->commit(before, f.shortcuts, nullptr, false);
        f.shortcuts.registerActions({{ShortcutAction::capture, before.shortcut}, {ShortcutAction::pin, before.pinShortcut}});
        const QByteArray fileBefore = fileBytes(f.path);
        const auto activeBefore = f.registrar->active;

        AppSettings draft = before;
        c.arrange(f, draft);
        try {
            store->commit(draft, f.shortcuts, &f.login, false);
            ADD_FAILURE() << c.name << ": no failure";
        } catch (const std::exception& e) {
            EXPECT_EQ(settingsErrorDescription(e), c.description) << c.name;
            if (const auto* s = dynamic_cast<const SettingsError*>(&e))
                EXPECT_EQ(s->code(), c.code) << c.name;
            else if (const auto* h = dynamic_cast<const HotKeyError*>(&e))
                EXPECT_EQ(h->code(), c.code) << c.name;
            else
                EXPECT_EQ(c.code, 0) << c.name;
        }
        EXPECT_EQ(store->current(), before) << c.name;
        EXPECT_EQ(fileBytes(f.path), fileBefore) << c.name;
        EXPECT_EQ(f.registrar->active, activeBefore) << c.name;
        EXPECT_FALSE(f.shortcuts.prepared()) << c.name;
        EXPECT_EQ(f.login.current, LoginItemStatus::notRegistered) << c.name;
    }
}

TEST(SettingsStore, LoginItemIsPutBackWhenTheWriteFails)
{
    StoreFixture f;
    auto store = f.open();
    AppSettings draft = f.draft(*store);
    draft.launchAtLogin = false;
    store->commit(draft, f.shortcuts, nullptr, false);

    draft.launchAtLogin = true;
    f.failWritesOf = EIO;
    const auto error = expectThrows<FileWriteError>([&] { store->commit(draft, f.shortcuts, &f.login, false); });
    EXPECT_EQ(error.description(), QStringLiteral("读写磁盘时出错。"));
    EXPECT_EQ(f.login.calls, (QStringList{"enable", "disable"}));
    EXPECT_EQ(f.login.current, LoginItemStatus::notRegistered);
    EXPECT_FALSE(store->loadError());
}

// The item was on, the save switched it off, the write failed, and switching it back on
// either reported success without effect or failed.
TEST(SettingsStore, UnrepairableLoginItemIsCodeThree)
{
    const QString prefix = QStringLiteral("设置未保存，登录项恢复失败。未开启；系统中关闭的登录项不会被自动重新开启。 ");
    struct Case {
        const char* name;
        std::deque<int> failures;
        std::deque<LoginItemStatus> statuses;
        QString inner;
    };
    const Case cases[] = {
        {"restore reports success, item stays off", {}, {LoginItemStatus::notRegistered, LoginItemStatus::notRegistered},
         QStringLiteral("登录项实际状态与保存前不同。")},
        {"restore fails", {0, EPERM}, {}, QStringLiteral("没有写入该位置的权限。")},
    };
    for (const Case& c : cases) {
        StoreFixture f;
        auto store = f.open();
        AppSettings draft = f.draft(*store);
        store->commit(draft, f.shortcuts, nullptr, false);
        f.login.current = LoginItemStatus::enabled;
        f.login.failures = c.failures;
        f.login.statusesAfterSet = c.statuses;
        draft.launchAtLogin = false;
        f.failWritesOf = EIO;
        const auto error = expectThrows<SettingsError>([&] { store->commit(draft, f.shortcuts, &f.login, false); });
        EXPECT_EQ(error.code(), SettingsError::loginItemRestore) << c.name;
        EXPECT_EQ(error.description(), prefix + c.inner) << c.name;
        EXPECT_EQ(store->loadError(), prefix + c.inner) << c.name;
        EXPECT_TRUE(store->current().launchAtLogin) << c.name;

        // Only a successful save clears the message.
        f.failWritesOf = -1;
        store->setAutomaticUpdateChecks(true);
        EXPECT_TRUE(store->loadError()) << c.name;
        store->commit(store->current(), f.shortcuts, nullptr, false);
        EXPECT_FALSE(store->loadError()) << c.name;
    }
}

TEST(SettingsStore, FirstRunLoginItem)
{
    {
        StoreFixture f;
        auto store = f.open();
        store->initializeLoginItemIfNeeded(f.login);
        EXPECT_TRUE(store->current().loginItemInitialized);
        EXPECT_EQ(f.login.current, LoginItemStatus::enabled);
        EXPECT_TRUE(f.open()->current().loginItemInitialized);
        f.login.calls.clear();
        f.writes.clear();
        auto second = f.open();
        second->initializeLoginItemIfNeeded(f.login);
        EXPECT_TRUE(f.login.calls.isEmpty()) << "the second start does nothing";
        EXPECT_TRUE(f.writes.isEmpty());
    }
    {
        StoreFixture f;
        writeFile(f.path, R"({"schemaVersion":3,"launchAtLogin":false})");
        auto store = f.open();
        store->initializeLoginItemIfNeeded(f.login);
        EXPECT_TRUE(f.login.calls.isEmpty());
        EXPECT_TRUE(store->current().loginItemInitialized);
    }
    {
        StoreFixture f;
        auto store = f.open();
        f.login.failures = {EACCES};
        EXPECT_THROW(store->initializeLoginItemIfNeeded(f.login), LoginItemError);
        EXPECT_EQ(store->loadError(), QStringLiteral("登录启动未开启：没有写入该位置的权限。"));
        EXPECT_TRUE(f.open()->current().loginItemInitialized) << "the step counts as taken; it is not retried";
    }
}

TEST(SettingsStore, SaveDraftAtAFixedClock)
{
    StoreFixture f;
    writeFile(f.path, R"({"schemaVersion":3,"format":"JPEG","directory":"file:///srv/shots/","directoryBookmark":"L3Nydi9zaG90cw=="})");
    auto store = f.open();
    store->now = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
    const SaveDraft draft = store->makeSaveDraft();
    EXPECT_EQ(draft.name, QStringLiteral("截图 2026-03-05 14.07.09"));
    EXPECT_EQ(draft.format, ImageFormat::jpeg);
    EXPECT_EQ(draft.directory, QStringLiteral("/srv/shots/"));
    EXPECT_EQ(draft.directoryBookmark, QByteArray("/srv/shots"));
}

TEST(SettingsStore, BookmarkResolvesTheFolderAndAccessIsStopped)
{
    StoreFixture f;
    auto access = std::make_shared<FakeFolderAccess>();
    auto store = f.open(access);
    AppSettings draft = f.draft(*store);
    draft.directory = QUrl::fromLocalFile(QStringLiteral("/nowhere/"));
    draft.directoryBookmark = QByteArray("bookmark:") + f.folder.toUtf8();
    store->commit(draft, f.shortcuts, nullptr, false);
    EXPECT_EQ(store->current().directory.toLocalFile(), f.folder);
    EXPECT_TRUE(access->open().isEmpty());
    EXPECT_EQ(access->log(), (QStringList{QStringLiteral("start ") + f.folder, QStringLiteral("stop ") + f.folder}));

    QDir(f.folder).removeRecursively();
    EXPECT_EQ(expectThrows<SettingsError>([&] { store->commit(draft, f.shortcuts, nullptr, false); }).code(),
              SettingsError::folderUnavailable);
    EXPECT_TRUE(access->open().isEmpty()) << "a failed save stops the access it started";
}

// On Linux a stored bookmark is the folder's path: it resolves while the folder exists.
TEST(SettingsStore, LinuxBookmarkNeverBlocksASave)
{
    StoreFixture f;
    auto store = f.open();
    AppSettings draft = f.draft(*store);
    draft.directoryBookmark = f.folder.toUtf8();
    store->commit(draft, f.shortcuts, nullptr, false);
    EXPECT_EQ(store->current().directory.toLocalFile(), f.folder);
}

namespace {

// Runs `work` and fails instead of hanging when it blocks: after a few seconds a writer opens
// the FIFO and goes, which ends any read waiting on it.
template<class Work>
void expectPrompt(Work work, const QString& fifo, const char* what)
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) {
        done.get();
        return;
    }
    ADD_FAILURE() << what << " waited on the FIFO";
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
    done.wait();
}

bool isFifo(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

} // namespace

TEST(SettingsStore, AFifoInPlaceOfTheFileIsUnreadableAndNeverWaitedOn)
{
    StoreFixture f;
    QDir().mkpath(QFileInfo(f.path).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(f.path).constData(), 0600), 0);
    std::unique_ptr<SettingsStore> store;
    expectPrompt([&] { store = f.open(); }, f.path, "start-up");
    ASSERT_TRUE(store);
    EXPECT_EQ(store->loadError(), QStringLiteral("设置读取失败，暂时使用默认值。原设置文件未被修改。"));
    EXPECT_EQ(store->current(), AppSettings{});
    EXPECT_TRUE(isFifo(f.path)) << "start-up leaves it alone";

    store->commit(f.draft(*store), f.shortcuts, nullptr, false);
    EXPECT_EQ(settingsFile::read(f.path).outcome, SettingsFileRead::Outcome::current);
    EXPECT_TRUE(isFifo(f.dir.filePath(QStringLiteral("Tolvane/settings.unreadable.json"))));

    // An older file whose backup name is taken by a FIFO: the save fails at once.
    StoreFixture older;
    writeFile(older.path, R"({"format":"JPEG"})");
    ASSERT_EQ(::mkfifo(QFile::encodeName(settingsFile::backupPath(older.path)).constData(), 0600), 0);
    auto migrating = older.open();
    expectPrompt(
        [&] { EXPECT_THROW(migrating->commit(older.draft(*migrating), older.shortcuts, nullptr, false), FileWriteError); },
        settingsFile::backupPath(older.path), "the backup check");
    EXPECT_EQ(fileBytes(older.path), R"({"format":"JPEG"})");
}

TEST(SettingsStore, ANewerFileOfAnySizeStaysReadOnlyAndALargeUnreadableOneIsKept)
{
    const QByteArray filler = "\"padding\":\"" + QByteArray(int(settingsFile::maximumSize), 'a') + "\"";
    const struct {
        const char* what;
        QByteArray bytes;
        bool newer;
    } cases[] = {
        {"schema first", "{\"schemaVersion\":4," + filler + "}", true},
        {"schema last", "{" + filler + ",\"schemaVersion\":7}", true},
        {"schema -1", "{\"schemaVersion\":-1," + filler + "}", true},
        {"schema 3", "{\"schemaVersion\":3," + filler + "}", false},
        {"schema only nested", "{\"x\":{\"schemaVersion\":4}," + filler + "}", false},
        {"schema as text", "{\"schemaVersion\":\"4\"," + filler + "}", false},
        {"an array", "[{\"schemaVersion\":4}," + filler.mid(10) + "]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.bytes.size(), settingsFile::maximumSize);
        StoreFixture f;
        writeFile(f.path, c.bytes);
        auto store = f.open();
        EXPECT_EQ(store->unsupportedSchema(), c.newer);
        if (c.newer) {
            const auto error = expectThrows<SettingsError>([&] { store->commit(f.draft(*store), f.shortcuts, nullptr, false); });
            EXPECT_EQ(error.code(), SettingsError::readOnly);
            EXPECT_EQ(error.description(), QStringLiteral("设置来自较新版本，当前版本无法修改。请使用较新版本打开，原设置文件已保留。"));
            EXPECT_TRUE(f.writes.isEmpty());
            EXPECT_EQ(fileBytes(f.path), c.bytes);
        } else {
            EXPECT_EQ(store->loadError(), QStringLiteral("设置读取失败，暂时使用默认值。原设置文件未被修改。"));
            store->commit(f.draft(*store), f.shortcuts, nullptr, false);
            EXPECT_EQ(fileBytes(f.dir.filePath(QStringLiteral("Tolvane/settings.unreadable.json"))), c.bytes);
        }
    }
}

TEST(SettingsStore, TheSavedFileIsTheOwnersToReadWhateverModeTheOldOneHad)
{
    for (const mode_t mode : {mode_t(0000), mode_t(0200), mode_t(0444), mode_t(0640)}) {
        SCOPED_TRACE(mode);
        StoreFixture f;
        writeFile(f.path, R"({"schemaVersion":3,"format":"JPEG"})");
        const QByteArray path = QFile::encodeName(f.path);
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
        auto store = f.open();
        AppSettings draft = f.draft(*store);
        draft.pinShortcut = {99, 0, QStringLiteral("F3")};
        store->commit(draft, f.shortcuts, nullptr, false);
        struct stat status {};
        ASSERT_EQ(::stat(path.constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0600, 0600u);
        EXPECT_EQ(status.st_mode & 0177, mode & 0177) << "the other bits stay as they were";
        ASSERT_EQ(::chmod(path.constData(), status.st_mode & 07777), 0);
        EXPECT_EQ(settingsFile::read(f.path).settings.pinShortcut, draft.pinShortcut);
    }
}

TEST(SettingsStore, AMissingDownloadFolderIsMadeWhenTheDefaultIsKept)
{
    StoreFixture f;
    // A home of its own without a Downloads folder, and no user-dirs file to name another.
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("config"))));
    QDir().mkpath(f.dir.filePath(QStringLiteral("home")));
    const QString downloads = QDir::cleanPath(AppSettings::defaultDirectory().toLocalFile());
    EXPECT_EQ(downloads, f.dir.filePath(QStringLiteral("home/Downloads")));

    auto store = f.open();
    AppSettings draft = store->current(); // the default folder, untouched
    draft.shortcut = {99, 0, QStringLiteral("F3")};
    EXPECT_NO_THROW(store->commit(draft, f.shortcuts, nullptr, false));
    EXPECT_TRUE(QFileInfo(downloads).isDir());
    EXPECT_EQ(store->current().shortcut, draft.shortcut);

    // A folder the user chose is never made: its loss is reported.
    AppSettings chosen = store->current();
    chosen.directory = QUrl::fromLocalFile(f.dir.filePath(QStringLiteral("home/gone/")));
    EXPECT_EQ(expectThrows<SettingsError>([&] { store->commit(chosen, f.shortcuts, nullptr, false); }).code(),
              SettingsError::folderUnavailable);
    EXPECT_FALSE(QFileInfo::exists(f.dir.filePath(QStringLiteral("home/gone"))));
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
}
