#include "Form1.h"
#include "LayoutScale.h"
#include "PlatformLayer.h"
#include "Twips.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program ends only where its windows say so, never because one was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app.ico")));

    // Every caption whole, whatever the default font's width.
    twips::setScale(layoutscale::forDefaultFont());

    QtPlatformLayer platform;
    Form1 form1(platform, QCoreApplication::applicationDirPath());
    form1.show();
    return app.exec();
}
