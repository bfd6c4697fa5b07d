#include "Form1.h"
#include "LayoutScale.h"
#include "PlatformLayer.h"
#include "Twips.h"

#include <QApplication>
#include <QIcon>
#include <QStandardPaths>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zellerin"));
    QCoreApplication::setApplicationName(QStringLiteral("valdrune-music-changer"));
    // The program ends only where its windows say so, never because one was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app.ico")));

    // Every caption whole, whatever the default font's width.
    twips::setScale(layoutscale::forDefaultFont());

    QtPlatformLayer platform;
    // An installed program's folder is not the player's, even when root could write it:
    // config.ini lives only in the player's own settings folder. A portable copy keeps it
    // beside itself where it can.
#ifdef VMC_INSTALLED_PROGRAM
    const QString programFolder;
#else
    const QString programFolder = QCoreApplication::applicationDirPath();
#endif
    Form1 form1(platform, programFolder,
                QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    form1.show();
    return app.exec();
}
