// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "LayoutScale.h"
#include "PlatformLayer.h"
#include "Twips.h"
#include "WindowProtocol.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QStandardPaths>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zellerin"));
    QCoreApplication::setApplicationName(QStringLiteral("valdrune-music-changer"));
    // The program ends only where its windows say so, never because one was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app.ico")));

    // Every caption whole, whatever the default font's width, as far as the screen allows;
    // past that, captions are cut short and shown whole in their tooltips.
    const QSize screenArea = QGuiApplication::primaryScreen()->availableGeometry().size();
    const double wanted = layoutscale::forDefaultFont();
    const double factor = std::min(wanted, layoutscale::largestFitting(screenArea));
    layoutscale::setElidesCaptions(factor < wanted);
    twips::setScale(factor);

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
    // A copy of the program that could not write the game folder hands over to this one,
    // started as administrator: its picks, folder and language, in a set file.
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--hand-over"));
        at > 0 && at + 1 < arguments.size()) {
        QFile handOver(arguments.at(at + 1));
        if (handOver.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = handOver.readAll();
            handOver.close();
            handOver.remove();
            form1.protocol().takeOver(
                core::MusicSet::parse(bytes.toStdString(), QDir::tempPath().toStdString()));
        }
    }
    form1.show();
    return app.exec();
}
