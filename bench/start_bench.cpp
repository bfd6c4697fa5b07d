// SPDX-License-Identifier: GPL-3.0-or-later
// Starts as the program does and ends once its first window has painted, so that a driver
// can time whole process starts (bench/start_times.sh):
//
//   start_bench bare            a bare Qt window, the yardstick
//   start_bench stored FOLDER   the program with FOLDER/config.ini stored: the main window
//   start_bench first FOLDER    the program's first start: the settings window

#include "PlatformLayer.h"
#include "WindowProtocol.h"
#include "forms/Form1.h"
#include "forms/LayoutScale.h"
#include "forms/Twips.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cstring>

namespace {

// Ends the program at the window's first paint.
class QuitOnPaint : public QObject
{
  public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QuitOnPaint quitOnPaint;
    if (argc < 2 || std::strcmp(argv[1], "bare") == 0) {
        QWidget window;
        window.installEventFilter(&quitOnPaint);
        window.show();
        return app.exec();
    }
    QApplication::setQuitOnLastWindowClosed(false);
    const QSize screenArea = QGuiApplication::primaryScreen()->availableGeometry().size();
    twips::setScale(layoutscale::forDefaultFont(screenArea));
    QtPlatformLayer platform;
    Form1 form1(platform, QString::fromLocal8Bit(argc > 2 ? argv[2] : "."));
    form1.installEventFilter(&quitOnPaint);
    form1.protocol().form2().installEventFilter(&quitOnPaint);
    form1.show();
    return app.exec();
}
