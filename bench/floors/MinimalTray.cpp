// SPDX-License-Identifier: MIT
// The floor of the idle tray application: an icon in the tray with a two-entry menu, nothing more.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap symbol(22, 22);
    symbol.fill(Qt::darkGreen);
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Quit"), &app, &QCoreApplication::quit);
    QSystemTrayIcon icon{QIcon(symbol)};
    icon.setContextMenu(&menu);
    icon.show();
    return QApplication::exec();
}
