#include "Form1.h"
#include "PlatformLayer.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program ends only where its windows say so, never because one was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app.ico")));

    QtPlatformLayer platform;
    Form1 form1(platform, QCoreApplication::applicationDirPath());
    form1.show();
    return app.exec();
}
