// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "features/FitPreview.h"
#include "features/WaveformView.h"
#include "fit/LoopCandidate.h"
#include "music/AudioCodecs.h"
#include "music/PickFit.h"
#include "music/SlotRole.h"
#include "run/WrittenJoin.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <variant>
#include <vector>

class Listening;
class QDoubleSpinBox;
class QTimer;
class QLabel;
class QPushButton;
class SeamView;

// Fits a pick to its slot: its waveform with start and end markers, fades, a loop found in the
// music or the game's own length, each heard before OK keeps it. The pick is decoded in the
// slot's format off the GUI thread; its waveform stays for the session.
class FitWindow : public QDialog
{
    Q_OBJECT

  public:
    struct Pick
    {
        int slot = 0;
        QString slotName;
        QString file;
        core::AudioInfo info;
        // The slot's format, in which the pick is decoded, and its role where known.
        int slotRate = 44100;
        int slotChannels = 2;
        core::Mp3Settings slotFormat; // what Change writes for the slot
        std::optional<core::SlotRole> role;
        core::PickFit fit; // at the pick's own rate
        double gain = 0;   // decibels, the preview's
    };

    FitWindow(const Pick &pick, std::uint8_t language, const core::AudioCodecs &codecs,
              Listening &listening, QWidget *parent);
    ~FitWindow() override;

    // The fit as the window holds it, at the pick's own rate.
    core::PickFit fit() const;
    bool isDecoded() const { return decoded_; }
    WaveformView &waveform() { return *waveform_; }
    const SeamView &seam() const { return *seam_; }
    void reject() override;

  signals:
    void decodingEnded();
    void loopSearchEnded();

  private:
    struct Decoded;

    void build();
    QDoubleSpinBox *addSpinBox(const char *name);
    void startDecoding();
    void takeDecoded(std::shared_ptr<Decoded> decoded);
    void showFit(const core::PickFit &fit);
    void markersMoved(double start, double end);
    void spinBoxChanged();
    // The player moved a marker or changed a box: a loop found is kept where the boxes show its
    // ends again, and is otherwise set by hand.
    void movedByHand();
    // What the fades, crossfade and seam look like now, drawn.
    void shapeChanged();
    // Pressed while the pick is still read, an action waits for it.
    void whenDecoded(void (FitWindow::*action)());
    void playAtOnce();
    void play();
    void playSeam();
    // The seam view shows the join as Change writes it: rendered off the GUI thread once the
    // fit has stayed put a moment, drawn from the decoded pick meanwhile.
    void renderSeam();
    void startRender(bool play);
    void
    joinRendered(const std::variant<core::WrittenJoin::Audio, core::ConversionFailure> &rendered,
                 const core::PickFit &fit);
    void playWrittenJoin(const core::WrittenJoin::Audio &join);
    void showWrittenJoin(const core::WrittenJoin::Audio &join);
    void stopPlaying();
    void findLoopWhenRead();
    void findLoop();
    void takeLoops(std::vector<core::LoopCandidate> loops);
    void showLoop();
    void fitToGameLength();
    void reset();
    // The most the pick may last: its length, with room where that is an estimate; 0 where
    // unknown.
    double longestSeconds() const;
    std::size_t frameAt(double seconds) const;

    Pick pick_;
    std::uint8_t language_;
    const core::AudioCodecs &codecs_;
    Listening &listening_;
    FitPreview preview_;
    WaveformView *waveform_ = nullptr;
    SeamView *seam_ = nullptr;
    QLabel *loopLine_ = nullptr;
    QDoubleSpinBox *start_ = nullptr;
    QDoubleSpinBox *end_ = nullptr;
    QDoubleSpinBox *fadeIn_ = nullptr;
    QDoubleSpinBox *fadeOut_ = nullptr;
    QPushButton *playSeam_ = nullptr;
    QPushButton *findLoop_ = nullptr;
    QPushButton *gameLength_ = nullptr;
    std::vector<QPushButton *> needDecoding_;
    std::vector<void (FitWindow::*)()> waiting_;
    bool decoded_ = false;
    bool syncing_ = false;
    std::shared_ptr<Decoded> audio_;
    std::stop_source stop_;
    std::vector<core::LoopCandidate> loops_;
    std::size_t loopShown_ = 0;
    std::size_t crossfade_ = 0; // frames at the slot's rate, from the loop taken
    // The fit shown, to the frame, until the player moves anything: the boxes show
    // hundredths of a second, which would move a loop off its zero crossings.
    std::optional<core::PickFit> exact_;
    // The loop found, or kept from before (a fit with a crossfade), and its line, to come
    // back to.
    std::optional<core::PickFit> found_;
    QString foundLine_;
    QTimer *seamSettled_ = nullptr;
    std::stop_source renderStop_;
    std::optional<core::PickFit> rendering_; // the fit whose join is being rendered
    bool playWhenRendered_ = false;
    // The last join rendered, and its fit: played and shown again while the fit is the same.
    std::shared_ptr<const core::WrittenJoin::Audio> rendered_;
    std::optional<core::PickFit> renderedFit_;
};
