#include "app/shell/InstanceChannel.h"
#include "app/shell/InstanceServer.h"
#include "app/shell/PinRequestClient.h"
#include "support/MemoryLogSink.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <future>
#include <thread>
#include <unistd.h>

namespace vorlith {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Outcome = PinRequestClient::Outcome;

TEST(InstanceChannel, OneSocketPerUserAndDisplay)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString one = InstanceChannel::socketPath(QStringLiteral(":1"));
    EXPECT_EQ(one, QDir(runtime.path()).filePath(QStringLiteral("vorlith-_1.socket")));
    EXPECT_EQ(InstanceChannel::socketPath(QStringLiteral(":1.0")), one);
    EXPECT_NE(InstanceChannel::socketPath(QStringLiteral(":2")), one);
    EXPECT_NE(InstanceChannel::socketPath(QStringLiteral("host:1")), one);
    EXPECT_FALSE(InstanceChannel::socketPath(QStringLiteral("../../x:1")).contains(QStringLiteral("/../")));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(InstanceChannel::socketPath(QStringLiteral(":1")).contains(QString::number(::getuid())));
}

TEST(InstanceChannel, PinRequestsCarryAtMostTenThousandFiles)
{
    const auto request = [](const QJsonValue& files) {
        return QJsonObject{{QStringLiteral("request"), InstanceChannel::pinRequest}, {QStringLiteral("files"), files}};
    };
    QJsonArray full;
    for (int i = 0; i < InstanceChannel::maxEntries; ++i)
        full.append(QStringLiteral("/a.png"));
    EXPECT_EQ(InstanceChannel::pinFiles(request(full))->size(), InstanceChannel::maxEntries);
    full.append(QStringLiteral("/a.png"));
    EXPECT_FALSE(InstanceChannel::pinFiles(request(full)));
    EXPECT_FALSE(InstanceChannel::pinFiles(request(QJsonArray{QStringLiteral("/a.png"), 3})));
    EXPECT_FALSE(InstanceChannel::pinFiles(request(QStringLiteral("/a.png"))));
    EXPECT_FALSE(InstanceChannel::decode("[1,2]"));
    EXPECT_FALSE(InstanceChannel::decode("{\"request\":"));
    EXPECT_EQ(InstanceChannel::decode(InstanceChannel::encode(InstanceChannel::accepted()).trimmed()),
              InstanceChannel::accepted());
}

TEST(PinRequestClient, CommandLineEntriesBecomeAbsolutePaths)
{
    QTemporaryDir cwd;
    QFile colon(QDir(cwd.path()).filePath(QStringLiteral("a:b.png")));
    ASSERT_TRUE(colon.open(QIODevice::WriteOnly));
    const QStringList entries = PinRequestClient::entriesFrom(
        {QStringLiteral("a.png"), QStringLiteral("sub/../b.png"), QStringLiteral("/abs/c.png"),
         QStringLiteral("file:///home/u/d%20e.png"), QStringLiteral("https://example.com/f.png"),
         QStringLiteral("a:b.png"), QString()},
        cwd.path());
    const QDir base(cwd.path());
    EXPECT_EQ(entries, (QStringList{base.filePath(QStringLiteral("a.png")), base.filePath(QStringLiteral("b.png")),
                                    QStringLiteral("/abs/c.png"), QStringLiteral("/home/u/d e.png"),
                                    base.filePath(QStringLiteral("a:b.png"))}));
}

// A server on a private socket, and clients on threads of their own (the client blocks).
class InstanceServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        server.setHandler(InstanceChannel::pinRequest, [this](const QJsonObject& request) {
            received << InstanceChannel::pinFiles(request).value_or(QStringList{QStringLiteral("<bad>")});
            return answer;
        });
    }
    Outcome send(const QStringList& entries)
    {
        auto outcome = std::async(std::launch::async, [this, entries] {
            return PinRequestClient::send(path, entries, 3s);
        });
        EXPECT_TRUE(runUntil([&] { return outcome.wait_for(0s) == std::future_status::ready; }));
        return outcome.get();
    }
    // Writes raw bytes from another thread; true when the server closed the connection
    // without an answer line, false when it answered.
    std::future<QByteArray> raw(QByteArray bytes, std::chrono::milliseconds wait)
    {
        return std::async(std::launch::async, [this, bytes, wait] {
            QLocalSocket socket;
            socket.connectToServer(path);
            if (!socket.waitForConnected(1000))
                return QByteArray("<no connection>");
            socket.write(bytes);
            socket.waitForBytesWritten(1000);
            QByteArray got;
            const auto end = std::chrono::steady_clock::now() + wait;
            while (socket.state() == QLocalSocket::ConnectedState && std::chrono::steady_clock::now() < end) {
                socket.waitForReadyRead(50);
                got += socket.readAll();
            }
            got += socket.readAll();
            return socket.state() == QLocalSocket::ConnectedState ? QByteArray("<still connected>") : got;
        });
    }
    QByteArray finish(std::future<QByteArray> pending)
    {
        EXPECT_TRUE(runUntil([&] { return pending.wait_for(0s) == std::future_status::ready; }, 10s));
        return pending.get();
    }

    QTemporaryDir folder;
    QString path = QDir(folder.path()).filePath(QStringLiteral("instance.socket"));
    InstanceServer server{path};
    QList<QStringList> received;
    QJsonObject answer = InstanceChannel::accepted();
};

TEST_F(InstanceServerTest, RequestsAreHandedOverAndAnswered)
{
    ASSERT_EQ(server.listen(), InstanceServer::Start::listening);
    EXPECT_EQ(send({QStringLiteral("/a.png"), QStringLiteral("/b.png")}).kind, Outcome::Kind::accepted);
    EXPECT_EQ(received, (QList<QStringList>{{QStringLiteral("/a.png"), QStringLiteral("/b.png")}}));

    answer = InstanceChannel::refused(QStringLiteral("当前正在处理其他操作，请稍后再置顶图片。"));
    const Outcome refused = send({QStringLiteral("/a.png")});
    EXPECT_EQ(refused.kind, Outcome::Kind::refused);
    EXPECT_EQ(PinRequestClient::sentenceFor(refused), QStringLiteral("当前正在处理其他操作，请稍后再置顶图片。"));
    EXPECT_EQ(PinRequestClient::sentenceFor({Outcome::Kind::refused, {}}), PinRequestClient::refusedFallback());
}

TEST_F(InstanceServerTest, MalformedOversizedAndSilentClientsAreRefusedOrDropped)
{
    ScopedLogCapture log;
    ASSERT_EQ(server.listen(), InstanceServer::Start::listening);

    EXPECT_EQ(finish(raw("not json\n", 2s)), InstanceChannel::encode(InstanceChannel::refused({})));
    EXPECT_EQ(finish(raw("{\"request\":\"format-disk\"}\n", 2s)), InstanceChannel::encode(InstanceChannel::refused({})));
    EXPECT_TRUE(received.isEmpty());

    // More than the limit without a line's end: dropped without an answer.
    EXPECT_EQ(finish(raw(QByteArray(InstanceChannel::maxRequestBytes + 10, 'x'), 3s)), QByteArray());
    // Connected and silent: dropped at the deadline, and the server serves the next one.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(finish(raw({}, 5s)), QByteArray());
    EXPECT_GE(std::chrono::steady_clock::now() - started, InstanceChannel::requestDeadline - 100ms);
    EXPECT_EQ(send({QStringLiteral("/a.png")}).kind, Outcome::Kind::accepted);

    const QStringList events = log.events();
    EXPECT_TRUE(events.contains(QStringLiteral("instance.request.refused reason=malformed")));
    EXPECT_TRUE(events.contains(QStringLiteral("instance.request.refused reason=unknown")));
    EXPECT_TRUE(events.contains(QStringLiteral("instance.request.dropped reason=size")));
    EXPECT_TRUE(events.contains(QStringLiteral("instance.request.dropped reason=deadline")));
}

TEST_F(InstanceServerTest, AStaleSocketIsReplacedAndALiveOneIsLeftAlone)
{
    // What a crashed instance leaves: a bound socket file that nobody listens on.
    ASSERT_TRUE(leaveStaleSocket(path));
    ASSERT_TRUE(QFile::exists(path));

    EXPECT_EQ(server.listen(), InstanceServer::Start::listening);
    EXPECT_EQ(send({QStringLiteral("/a.png")}).kind, Outcome::Kind::accepted);

    InstanceServer second(path);
    EXPECT_EQ(second.listen(), InstanceServer::Start::otherInstance);
    EXPECT_EQ(send({QStringLiteral("/b.png")}).kind, Outcome::Kind::accepted) << "the first still serves";
    EXPECT_EQ(received.size(), 2);
}

TEST_F(InstanceServerTest, NoInstanceIsToldAtOnce)
{
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(send({QStringLiteral("/a.png")}).kind, Outcome::Kind::noInstance);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

} // namespace
} // namespace vorlith
