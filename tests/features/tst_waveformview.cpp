// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"
#include "features/FitPreview.h"
#include "features/WaveformView.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cstring>

// The waveform's markers under the mouse and the keys, the times as the player reads them, and
// the parts of a pick written to be heard.
class TestWaveformView : public QObject
{
    Q_OBJECT

  private slots:
    void keysMoveTheChosenMarker_data();
    void keysMoveTheChosenMarker();
    void theMouseTakesTheNearerMarker();
    void theGamesLengthIsCountedFromTheStartMarker();
    void timesAreWrittenInTheLanguage_data();
    void timesAreWrittenInTheLanguage();
    void previewPartsAreFadedAndJoined();
    void markersAreChosenByTheirNamesInitials_data();
    void markersAreChosenByTheirNamesInitials();
    void zoomReachesTenMillisecondsAPixel_data();
    void zoomReachesTenMillisecondsAPixel();

  private:
    // A minute long, the markers at 10 s and 50 s.
    static std::unique_ptr<WaveformView> minute();
};

std::unique_ptr<WaveformView> TestWaveformView::minute()
{
    auto view = std::make_unique<WaveformView>(2);
    view->resize(601, 100);
    view->setPeaks(WaveformView::Peaks(600, {-0.5f, 0.5f}), 60);
    view->setMarkers(10, 50);
    return view;
}

void TestWaveformView::keysMoveTheChosenMarker_data()
{
    QTest::addColumn<QString>("keys"); // s, e, < and > for the arrows, [ and ] with Shift
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::newRow("start by 10 ms") << ">>" << 10.02 << 50.0;
    QTest::newRow("end by a second") << "e[[" << 10.0 << 48.0;
    QTest::newRow("back to the start") << "e<s>" << 10.01 << 49.99;
    QTest::newRow("not before the pick") << "[[[[[[[[[[[[" << 0.0 << 50.0;
    QTest::newRow("not past the pick") << "e]]]]]]]]]]]" << 10.0 << 60.0;
    QTest::newRow("not over the other marker") << "e" + QString(41, '[') << 10.0 << 10.1;
}

void TestWaveformView::keysMoveTheChosenMarker()
{
    QFETCH(QString, keys);
    QFETCH(double, start);
    QFETCH(double, end);
    const std::unique_ptr<WaveformView> view = minute();
    for (const QChar key : keys) {
        if (key == 's' || key == 'e')
            QTest::keyClick(view.get(), key.toLatin1());
        else
            QTest::keyClick(view.get(), key == '<' || key == '[' ? Qt::Key_Left : Qt::Key_Right,
                            key == '[' || key == ']' ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(view->start(), start);
    QCOMPARE(view->end(), end);
}

void TestWaveformView::theMouseTakesTheNearerMarker()
{
    const std::unique_ptr<WaveformView> view = minute();
    QSignalSpy moved(view.get(), &WaveformView::markersMoved);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(400, 50)); // 40 s
    QCOMPARE(view->end(), 40.0);
    QCOMPARE(view->chosen(), WaveformView::Marker::End);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(150, 50)); // 15 s
    QCOMPARE(view->start(), 15.0);
    QCOMPARE(moved.size(), 2);
}

void TestWaveformView::theGamesLengthIsCountedFromTheStartMarker()
{
    const std::unique_ptr<WaveformView> view = minute();
    view->setGameLength(30);
    QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(view->accessibleDescription().endsWith(
        QStringLiteral("The game's own music lasts 0:30.00; the dashed line (0:41.00) "
                       "measures that length from the start marker, where the written "
                       "music begins")));
}

void TestWaveformView::timesAreWrittenInTheLanguage_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("text");
    QTest::newRow("English") << 118.35 << 2 << "1:58.35";
    QTest::newRow("Hungarian") << 42.1 << 1 << "0:42,10";
    QTest::newRow("a minute rounded up") << 59.999 << 2 << "1:00.00";
}

void TestWaveformView::timesAreWrittenInTheLanguage()
{
    QFETCH(double, seconds);
    QFETCH(int, language);
    QFETCH(QString, text);
    QCOMPARE(NumberText::minutesSeconds(seconds, std::uint8_t(language)), text);
}

void TestWaveformView::previewPartsAreFadedAndJoined()
{
    // Mono, every sample at half scale: the end of the piece, then its start faded in.
    const std::vector<float> samples(100, 0.5f);
    FitPreview preview;
    const QString file = preview.write(samples, 8000, 1, {{90, 100, 0, 0}, {0, 10, 10, 0}});
    QFile wav(file);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    QCOMPARE(bytes.size(), 44 + 20 * 2);
    const auto sample = [&](int i) {
        std::int16_t value = 0;
        std::memcpy(&value, bytes.constData() + 44 + 2 * i, 2);
        return value;
    };
    QCOMPARE(sample(0), std::int16_t(16384));
    QCOMPARE(sample(10), std::int16_t(0));
    QVERIFY(sample(15) > 0 && sample(15) < sample(19));
}

void TestWaveformView::markersAreChosenByTheirNamesInitials_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("startKey");
    QTest::addColumn<int>("endKey");
    QTest::addColumn<QString>("keysTold");
    QTest::newRow("English") << 2 << int(Qt::Key_S) << int(Qt::Key_E) << "S chooses the start";
    QTest::newRow("Hungarian") << 1 << int(Qt::Key_K) << int(Qt::Key_V) << "A K billentyű";
}

void TestWaveformView::markersAreChosenByTheirNamesInitials()
{
    QFETCH(int, language);
    QFETCH(int, startKey);
    QFETCH(int, endKey);
    QFETCH(QString, keysTold);
    WaveformView view{std::uint8_t(language)};
    view.resize(601, 100);
    view.setPeaks(WaveformView::Peaks(600, {-0.5f, 0.5f}), 60);
    view.setMarkers(10, 50);
    QTest::keyClick(&view, Qt::Key(endKey));
    QCOMPARE(view.chosen(), WaveformView::Marker::End);
    QTest::keyClick(&view, Qt::Key(startKey));
    QCOMPARE(view.chosen(), WaveformView::Marker::Start);
    QVERIFY2(view.accessibleDescription().startsWith(keysTold),
             qPrintable(view.accessibleDescription()));
}

void TestWaveformView::zoomReachesTenMillisecondsAPixel_data()
{
    QTest::addColumn<bool>("wheel");
    QTest::newRow("+ and -") << false;
    QTest::newRow("Ctrl and the wheel") << true;
}

void TestWaveformView::zoomReachesTenMillisecondsAPixel()
{
    QFETCH(bool, wheel);
    // Ten minutes across 600 pixels, the end marker chosen at 7:00.
    WaveformView view(2);
    view.resize(601, 100);
    view.setPeaks(WaveformView::Peaks(4000, {-0.5f, 0.5f}), 600);
    view.setMarkers(10, 420);
    QTest::keyClick(&view, Qt::Key_E);
    const QPoint atEnd(420, 50);
    const auto zoom = [&](bool in) {
        if (!wheel) {
            QTest::keyClick(&view, in ? Qt::Key_Plus : Qt::Key_Minus);
            return;
        }
        QWheelEvent event(atEnd, view.mapToGlobal(atEnd), {}, {0, in ? 120 : -120}, {},
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    };
    for (int i = 0; i < 12; ++i)
        zoom(true);
    QVERIFY(view.shownSeconds() / 600 <= 0.01);
    // Zoomed in, a key still moves the marker by 10 ms.
    QTest::keyClick(&view, Qt::Key_Right);
    QCOMPARE(view.end(), 420.01);
    for (int i = 0; i < 12; ++i)
        zoom(false);
    QCOMPARE(view.shownSeconds(), 600.0);
}

QTEST_MAIN(TestWaveformView)
#include "tst_waveformview.moc"
