// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// A pick's waveform with a time ruler, what the game does marked (its own length, or for a
// looped slot the turn from the end back to the start), the fades and crossfade, and the start and
// end markers of its fit, each named: dragged with the mouse, or chosen with the first letter of
// its name in the language (S and E, K and V) and moved with the arrows (10 ms, 1 s with Shift). It
// zooms with + and - or Ctrl and the wheel, around the chosen marker, down to a millisecond a
// pixel; the wheel alone then scrolls.
class WaveformView : public QWidget
{
    Q_OBJECT

  public:
    enum class Marker { Start, End };
    // Each peak: the lowest and highest sample of an equal stretch of the pick.
    using Peaks = std::vector<std::pair<float, float>>;

    explicit WaveformView(std::uint8_t language, QWidget *parent = nullptr);

    void setPeaks(Peaks peaks, double seconds);
    // The samples behind the peaks (mono, at rate), drawn where the view is zoomed past them.
    void setDetail(std::shared_ptr<const std::vector<float>> mono, int rate);
    void setGameLength(double seconds);
    // Whether the game loops the slot's music, rather than playing it once.
    void setLooped(bool looped);
    // In seconds: the crossfade mixes the music just before the start into the end.
    void setFades(double fadeIn, double fadeOut, double crossfade);
    void zoomIn();
    void zoomOut();
    // Seconds the view shows across its width.
    double shownSeconds() const;
    void setMarkers(double start, double end);
    double start() const { return start_; }
    double end() const { return end_; }
    double seconds() const { return seconds_; }
    Marker chosen() const { return chosen_; }
    // Both markers' times, as a screen reader reads them.
    QString markersText() const;
    // The key that chooses a marker: the first letter of its name.
    int markerKey(Marker marker) const;
    QSize sizeHint() const override;

    static constexpr double shortestPart = 0.1; // seconds between the markers, at least
    static constexpr double finestZoom = 0.001; // seconds a pixel, at most zoomed

  signals:
    // The player moved a marker.
    void markersMoved(double start, double end);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

  private:
    int xAt(double seconds) const;
    double secondsAt(int x) const;
    int rulerHeight() const;
    void paintPeaks(QPainter &painter, const QRect &area) const;
    void paintRuler(QPainter &painter) const;
    void paintMarkers(QPainter &painter, const QRect &area) const;
    void paintGame(QPainter &painter, const QRect &area) const;
    void paintFades(QPainter &painter, const QRect &area) const;
    // The lowest and highest sample between two times, from the peaks or the samples.
    std::pair<float, float> extremes(double from, double to) const;
    // Text drawn at x, or ending there where it would run past the right edge.
    void drawTextFitted(QPainter &painter, int x, int baseline, const QString &text) const;
    void drawLabel(QPainter &painter, int x, int baseline, const QString &text) const;
    void zoomAround(double at, double factor);
    void scrollTo(double from);
    void keepInView(double at);
    void moveChosen(double to);
    void markersChanged();
    // The keys, and where the game's length ends, as the screen reader's description.
    void describeGameLength();

    std::uint8_t language_;
    Peaks peaks_;
    double seconds_ = 0;
    std::shared_ptr<const std::vector<float>> detail_;
    int detailRate_ = 0;
    double gameLength_ = 0;
    bool looped_ = false;
    double fadeIn_ = 0;
    double fadeOut_ = 0;
    double crossfade_ = 0;
    double shownFrom_ = 0;
    double shown_ = 0; // 0: the whole
    double start_ = 0;
    double end_ = 0;
    Marker chosen_ = Marker::Start;
};
