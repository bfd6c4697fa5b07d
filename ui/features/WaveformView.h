// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

// A pick's waveform with a time ruler, the game's own length marked, and the start and end
// markers of its fit, each named: dragged with the mouse, or chosen with the first letter of its
// name in the language (S and E, K and V) and moved with the arrows (10 ms, 1 s with Shift).
class WaveformView : public QWidget
{
    Q_OBJECT

  public:
    enum class Marker { Start, End };
    // Each peak: the lowest and highest sample of an equal stretch of the pick.
    using Peaks = std::vector<std::pair<float, float>>;

    explicit WaveformView(std::uint8_t language, QWidget *parent = nullptr);

    void setPeaks(Peaks peaks, double seconds);
    void setGameLength(double seconds);
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

  signals:
    // The player moved a marker.
    void markersMoved(double start, double end);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    int xAt(double seconds) const;
    double secondsAt(int x) const;
    int rulerHeight() const;
    void paintPeaks(QPainter &painter, const QRect &area) const;
    void paintRuler(QPainter &painter) const;
    void paintMarkers(QPainter &painter, const QRect &area) const;
    void moveChosen(double to);
    void markersChanged();
    // The keys, and where the game's length ends, as the screen reader's description.
    void describeGameLength();

    std::uint8_t language_;
    Peaks peaks_;
    double seconds_ = 0;
    double gameLength_ = 0;
    double start_ = 0;
    double end_ = 0;
    Marker chosen_ = Marker::Start;
};
