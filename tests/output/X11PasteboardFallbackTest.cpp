#include "app/output/PasteboardTransaction.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TaskOutcome.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

// Without an X server (and without XFixes) the pasteboard still works through Qt's clipboard:
// empty contents read as no item, and the change count moves on its own writes.
TEST(X11PasteboardFallback, WorksWithoutAnXServer)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    {
        auto pasteboard = std::make_shared<X11Pasteboard>();
        EXPECT_FALSE(pasteboard->observesOwnerChanges());
        QGuiApplication::clipboard()->clear();
        EXPECT_EQ(finish(pasteboard->readItems({})).value, std::optional(QList<QStringList>{}));
        EXPECT_FALSE(finish(pasteboard->readData(0, PasteboardType::png(), {})).value->isRead());
        EXPECT_FALSE(finish(pasteboard->readData(3, PasteboardType::png(), {})).value->isRead());

        const qint64 before = pasteboard->changeCount();
        PasteboardItem item;
        item.setData(PasteboardType::plainText(), QByteArray("#00FF00"));
        const auto result =
            finish(PasteboardTransaction::commit(pasteboard, PasteboardTransaction::defaultWriter, item, {}, {}));
        ASSERT_TRUE(result.value && *result.value);
        EXPECT_TRUE((*result.value)->isSuccess()) << (*result.value)->message.toStdString();
        EXPECT_GT(pasteboard->changeCount(), before);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("#00FF00"));
        EXPECT_EQ(finish(pasteboard->readItems({})).value,
                  std::optional(QList<QStringList>{{QStringLiteral("text/plain")}}));
        EXPECT_EQ(finish(pasteboard->readData(0, PasteboardType::plainText(), {})).value->data, QByteArray("#00FF00"));
    }
    if (!display.isNull())
        qputenv("DISPLAY", display);
}
