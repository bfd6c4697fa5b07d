// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

// The seam as the game turns the loop: the last half second before the end marker joined to the
// first half second after the start, the join marked in the middle. Only shown: the waveform
// beside it is where the markers are moved.
class SeamView : public QWidget
{
    Q_OBJECT

  public:
    static constexpr double sideSeconds = 0.5;

    explicit SeamView(std::uint8_t language, QWidget *parent = nullptr);

    // Drawn from the decoded pick at the fit, or from the file Change writes, decoded.
    enum class Drawn { FromThePick, AsWritten };

    // The samples across the join, mono: before it, then after it.
    void setJoin(std::vector<float> before, std::vector<float> after, Drawn drawn);
    std::size_t samplesShown() const { return before_.size() + after_.size(); }
    Drawn drawn() const { return drawn_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    std::vector<float> before_;
    std::vector<float> after_;
    Drawn drawn_ = Drawn::FromThePick;
};
