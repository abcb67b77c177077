// plain_tray: the launch benchmark's baseline. The least a Qt tray program does: a
// QApplication, a QSystemTrayIcon and a QMenu with the same items as Vorlith's, opened on a
// click. Quits on SIGTERM like any Qt program (the default action).
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    QPixmap pixmap(36, 36);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 4));
        painter.drawRect(6, 6, 24, 24);
    }
    QMenu menu;
    for (const char* title : std::initializer_list<const char*>{"截图    F1", "继续上次截图", nullptr, "置顶图片    F2", "打开图片并置顶…", "显示置顶图片", nullptr,
                              "设置…", "检查更新…", "关于 Vorlith", nullptr, "退出 Vorlith"}) {
        if (title)
            menu.addAction(QString::fromUtf8(title));
        else
            menu.addSeparator();
    }
    QObject::connect(menu.actions().last(), &QAction::triggered, &application, &QApplication::quit);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setToolTip(QStringLiteral("Vorlith"));
    QObject::connect(&tray, &QSystemTrayIcon::activated, &menu, [&menu] { menu.exec(QCursor::pos()); });
    tray.show();
    return application.exec();
}
