// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the Fit window for a pick and times, from the window's opening, its first painted
// waveform (the coarse one drawn while the pick is decoded) and the first painted whole one,
// decoding included. Prints both in milliseconds.
//
//   waveform_bench PICK [RATE CHANNELS]   the slot's format; the game's 22.05 kHz mono if none
//
// bench/waveform.sh makes a four-minute FLAC and runs it.

#include "features/FitWindow.h"
#include "features/Listening.h"
#include "files/Platform.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Notes when the waveform is first painted with a picture, and when first painted whole.
class PaintClock : public QObject
{
  public:
    PaintClock(FitWindow &window, const QElapsedTimer &clock) : window_(window), clock_(clock)
    {
        window_.waveform().installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (coarse < 0 && window_.waveform().seconds() > 0)
                coarse = clock_.elapsed();
            if (whole < 0 && window_.isDecoded()) {
                whole = clock_.elapsed();
                QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

    qint64 coarse = -1;
    qint64 whole = -1;

  private:
    FitWindow &window_;
    const QElapsedTimer &clock_;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: waveform_bench PICK [RATE CHANNELS]\n");
        return 2;
    }
    // The audio code linked in, as the module would give it.
    const core::AudioCodecs *codecs = &core::AudioCodecs::builtIn();
    FitWindow::Pick pick;
    pick.slotName = QStringLiteral("bench");
    pick.file = QString::fromLocal8Bit(argv[1]);
    // Read before the window opens, as the pick's check has read it by then.
    auto probed = codecs->makeDecoder()->probe(core::platform::pathFromText(argv[1]));
    if (const auto *reason = std::get_if<core::Reason>(&probed)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], reason->text(2).c_str());
        return 1;
    }
    pick.info = std::get<core::AudioInfo>(probed);
    pick.slotRate = argc > 3 ? std::atoi(argv[2]) : 22050;
    pick.slotChannels = argc > 3 ? std::atoi(argv[3]) : 1;
    Listening listening;
    QElapsedTimer clock;
    clock.start();
    FitWindow window(pick, 2, *codecs, listening, nullptr);
    PaintClock paints(window, clock);
    window.show();
    app.exec();
    std::printf("%.1f s at %d Hz, %d channel(s) for a slot of %d Hz, %d channel(s)\n",
                pick.info.seconds, pick.info.sampleRate, pick.info.channels, pick.slotRate,
                pick.slotChannels);
    std::printf("coarse picture: %lld ms\nwhole picture: %lld ms\n", paints.coarse, paints.whole);
    return paints.whole < 0 ? 1 : 0;
}
