#include "app/output/PasteboardTransaction.h"
#include "platform/x11/X11Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace vorlith;

// Without an X server (and without XFixes) the pasteboard still works through Qt's clipboard:
// empty contents read as no item, and the change count moves on its own writes.
TEST(X11PasteboardFallback, WorksWithoutAnXServer)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    {
        X11Pasteboard pasteboard;
        EXPECT_FALSE(pasteboard.observesOwnerChanges());
        QGuiApplication::clipboard()->clear();
        EXPECT_EQ(pasteboard.itemCount(), 0);
        EXPECT_TRUE(pasteboard.types(0).isEmpty());
        EXPECT_FALSE(pasteboard.data(0, PasteboardType::png()));
        EXPECT_FALSE(pasteboard.data(3, PasteboardType::png()));

        const qint64 before = pasteboard.changeCount();
        PasteboardItem item;
        item.setData(PasteboardType::plainText(), QByteArray("#00FF00"));
        const OutputResult result = PasteboardTransaction::commit(pasteboard, PasteboardTransaction::defaultWriter, item);
        EXPECT_TRUE(result.isSuccess()) << result.message.toStdString();
        EXPECT_GT(pasteboard.changeCount(), before);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("#00FF00"));
        EXPECT_EQ(pasteboard.types(0), QStringList{QStringLiteral("text/plain")});
    }
    if (!display.isNull())
        qputenv("DISPLAY", display);
}
