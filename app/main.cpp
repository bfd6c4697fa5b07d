// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformLayer.h"
#include "WindowProtocol.h"
#include "features/RunMessage.h"
#include "forms/Form1.h"
#include "forms/LayoutScale.h"
#include "forms/Twips.h"

#include <QApplication>
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
    // started as administrator: its picks, folder and language, in a set file. Anything else
    // named there, or a folder the player does not confirm, ends this copy with nothing
    // written.
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--hand-over")); at > 0) {
        const std::optional<core::MusicSet> set =
            at + 1 < arguments.size()
                ? RunMessage::takeHandOver(arguments.at(at + 1), RunMessage::handOverFolder())
                : std::nullopt;
        if (!set || !form1.protocol().takeOver(*set))
            return 0;
    }
    form1.show();
    return app.exec();
}
