// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/FitWindow.h"

#include "NumberText.h"
#include "TextTable.h"
#include "features/LargeBuffer.h"
#include "features/Listening.h"
#include "features/PostBack.h"
#include "features/SeamView.h"
#include "files/Platform.h"
#include "fit/LoopFinder.h"
#include "loudness/SilenceGate.h"
#include "run/WrittenJoin.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t peakCount = 4000;
constexpr double seamSeconds = 4;
constexpr std::size_t longestReserved = 15 * 60; // seconds
constexpr double jingleFadeOut = 1.5;
// How long the fit stays put before its written join is rendered for the seam view.
constexpr int seamSettleMilliseconds = 700;

struct CachedWaveform
{
    WaveformView::Peaks peaks;
    double seconds = 0;
};

// The waveforms drawn this session, by file, its time and the rate it was decoded at.
QHash<QString, CachedWaveform> &waveformCache()
{
    static QHash<QString, CachedWaveform> cache;
    return cache;
}

QString cacheKey(const QString &file, int rate)
{
    const QFileInfo info(file);
    return QStringLiteral("%1|%2|%3|%4")
        .arg(info.absoluteFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(rate);
}

// Each peak over an equal stretch of a pick of totalFrames: the frames of mono from the one
// given on are added to the peaks so far. Frames past the total go to the last peak.
void addPeaks(WaveformView::Peaks &peaks, const std::vector<float> &mono, std::size_t from,
              std::size_t totalFrames)
{
    if (from >= mono.size())
        return;
    totalFrames = std::max(totalFrames, std::size_t(1));
    const std::size_t last = peaks.size() - 1;
    // Frame i belongs to peak i * peaks / total: walked peak by peak, not divided frame by
    // frame, which took a tenth of a long pick's decoding.
    std::size_t peak = std::min(from * peaks.size() / totalFrames, last);
    const auto firstFrameOf = [&](std::size_t p) {
        return (p * totalFrames + peaks.size() - 1) / peaks.size();
    };
    for (std::size_t i = from; i < mono.size(); ++peak) {
        const std::size_t end =
            peak < last ? std::min(firstFrameOf(peak + 1), mono.size()) : mono.size();
        auto &[low, high] = peaks[peak];
        for (; i < end; ++i) {
            low = std::min(low, mono[i]);
            high = std::max(high, mono[i]);
        }
    }
}

WaveformView::Peaks peaksOf(const std::vector<float> &mono)
{
    WaveformView::Peaks peaks(std::max(std::min(peakCount, mono.size()), std::size_t(1)));
    addPeaks(peaks, mono, 0, mono.size());
    return peaks;
}

// A mono slot's frames are their own mono mix, kept once.
void appendFrames(std::vector<float> &samples, std::vector<float> &mono, const float *frames,
                  std::size_t count, int channels)
{
    if (channels == 1) {
        mono.insert(mono.end(), frames, frames + count);
        return;
    }
    samples.insert(samples.end(), frames, frames + count * std::size_t(channels));
    for (std::size_t i = 0; i < count; ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += frames[i * std::size_t(channels) + std::size_t(c)];
        mono.push_back(sum / float(channels));
    }
}

} // namespace

struct FitWindow::Decoded
{
    std::vector<float> samples; // interleaved; empty for one channel, whose frames are mono's
    std::vector<float> mono;
    const std::vector<float> &interleaved() const { return channels == 1 ? mono : samples; }
    WaveformView::Peaks peaks; // of the whole
    int channels = 1;
    bool failed = false;
};

FitWindow::FitWindow(const Pick &pick, std::uint8_t language, const core::AudioCodecs &codecs,
                     Listening &listening, QWidget *parent)
    : QDialog(parent), pick_(pick), language_(language), codecs_(codecs), listening_(listening)
{
    build();
    const auto cached = waveformCache().constFind(cacheKey(pick_.file, pick_.slotRate));
    if (cached != waveformCache().constEnd())
        waveform_->setPeaks(cached->peaks, cached->seconds);
    showFit(pick_.fit);
    startDecoding();
}

FitWindow::~FitWindow()
{
    stop_.request_stop();
}

void FitWindow::build()
{
    const TextTable &texts = TextTable::forLanguage(language_);
    setWindowTitle(QString::fromUtf8(texts.fitWindowTitle).arg(pick_.slotName));
    auto *layout = new QVBoxLayout(this);
    const bool jingle = pick_.role && pick_.role->kind == core::SlotRole::Kind::Jingle;
    auto *views = new QHBoxLayout;
    waveform_ = new WaveformView(language_, this);
    if (pick_.role) {
        waveform_->setGameLength(pick_.role->seconds);
        waveform_->setLooped(!jingle);
    }
    views->addWidget(waveform_, 4);
    // A jingle is played once: it has no seam to see.
    seam_ = new SeamView(language_, this);
    seam_->setVisible(!jingle);
    seamSettled_ = new QTimer(this);
    seamSettled_->setSingleShot(true);
    seamSettled_->setInterval(seamSettleMilliseconds);
    connect(seamSettled_, &QTimer::timeout, this, &FitWindow::renderSeam);
    views->addWidget(seam_, 1);
    layout->addLayout(views, 1);
    loopLine_ = new QLabel(QString::fromUtf8(texts.fitReading), this);
    layout->addWidget(loopLine_);
    auto *numbers = new QGridLayout;
    const std::pair<const char *, const char *> boxes[] = {
        {texts.fitStartLabel, texts.fitStartName},
        {texts.fitEndLabel, texts.fitEndName},
        {texts.fitFadeInLabel, texts.fitFadeInName},
        {texts.fitFadeOutLabel, texts.fitFadeOutName}};
    QDoubleSpinBox **targets[] = {&start_, &end_, &fadeIn_, &fadeOut_};
    for (int i = 0; i < 4; ++i) {
        QDoubleSpinBox *box = addSpinBox(boxes[i].second);
        *targets[i] = box;
        auto *label = new QLabel(QString::fromUtf8(boxes[i].first), this);
        label->setBuddy(box);
        numbers->addWidget(label, i / 2, (i % 2) * 2);
        numbers->addWidget(box, i / 2, (i % 2) * 2 + 1);
    }
    layout->addLayout(numbers);
    const auto addButton = [this](QHBoxLayout *row, const char *text, auto action) {
        auto *button = new QPushButton(QString::fromUtf8(text), this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
        return button;
    };
    auto *listen = new QHBoxLayout;
    // Play and Find a loop are taken while the pick is still read (see playAtOnce and
    // findLoopWhenRead).
    addButton(listen, texts.fitPlay, &FitWindow::playAtOnce);
    playSeam_ = addButton(listen, texts.fitPlaySeam, &FitWindow::playSeam);
    needDecoding_.push_back(playSeam_);
    addButton(listen, texts.fitStop, &FitWindow::stopPlaying);
    listen->addStretch();
    // For the pointer alone; the waveform zooms with + and - too.
    addButton(listen, texts.fitZoomIn, [this] { waveform_->zoomIn(); });
    addButton(listen, texts.fitZoomOut, [this] { waveform_->zoomOut(); });
    layout->addLayout(listen);
    auto *shape = new QHBoxLayout;
    findLoop_ = addButton(shape, texts.fitFindLoop, &FitWindow::findLoopWhenRead);
    gameLength_ = addButton(shape, texts.fitToGameLength, &FitWindow::fitToGameLength);
    addButton(shape, texts.fitReset, &FitWindow::reset);
    shape->addStretch();
    layout->addLayout(shape);
    needDecoding_.push_back(gameLength_);
    for (QPushButton *button : needDecoding_)
        button->setEnabled(false);
    findLoop_->setEnabled(!jingle);
    if (!jingle) {
        // Why it is disabled, where a pointer or a screen reader asks.
        const QString why = QString::fromUtf8(pick_.role ? texts.fitGameLengthLoopSlot
                                                         : texts.fitGameLengthUnknown);
        gameLength_->setToolTip(why);
        gameLength_->setAccessibleDescription(why);
    }
    auto *answer = new QDialogButtonBox(this);
    answer->addButton(QString::fromUtf8(texts.ok), QDialogButtonBox::AcceptRole);
    answer->addButton(QString::fromUtf8(texts.cancel), QDialogButtonBox::RejectRole);
    connect(answer, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(answer, &QDialogButtonBox::rejected, this, &FitWindow::reject);
    connect(this, &QDialog::accepted, &listening_, &Listening::stop);
    layout->addWidget(answer);
    connect(waveform_, &WaveformView::markersMoved, this, &FitWindow::markersMoved);
    if (jingle)
        findLoop_->setToolTip(QString::fromUtf8(texts.fitLoopJingle));
}

QDoubleSpinBox *FitWindow::addSpinBox(const char *name)
{
    auto *box = new QDoubleSpinBox(this);
    box->setAccessibleName(QString::fromUtf8(name));
    box->setDecimals(2);
    box->setSingleStep(0.01);
    box->setRange(0, longestSeconds());
    // Decimal commas in Hungarian, as every number the player reads.
    box->setLocale(TextTable::forLanguage(language_).hungarianOptionSelected
                       ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                       : QLocale::c());
    box->setKeyboardTracking(false);
    connect(box, &QDoubleSpinBox::valueChanged, this, &FitWindow::spinBoxChanged);
    return box;
}

void FitWindow::startDecoding()
{
    const std::filesystem::path file = core::platform::pathFromText(pick_.file.toStdString());
    const int rate = pick_.slotRate;
    const int channels = std::clamp(pick_.slotChannels, 1, 2);
    // Whatever length a damaged header gives, a number of frames.
    const auto expectedFrames =
        std::size_t(std::min(std::max(1.0, pick_.info.seconds * rate), 1e12));
    const auto makeDecoder = codecs_.makeDecoder;
    const QPointer self(this);
    QThreadPool::globalInstance()->start(
        [self, file, rate, channels, expectedFrames, makeDecoder, stop = stop_.get_token()] {
            auto decoded = std::make_shared<Decoded>();
            decoded->channels = channels;
            // Room for a second more than the length read, lest the samples be moved; no
            // more than a long piece's, whatever a damaged header claims.
            const std::size_t frames =
                std::min(expectedFrames + std::size_t(rate), std::size_t(rate) * longestReserved);
            reserveLargeBuffer(decoded->mono, frames);
            if (channels > 1)
                reserveLargeBuffer(decoded->samples, frames * std::size_t(channels));
            WaveformView::Peaks sofar(std::min(peakCount, expectedFrames));
            std::size_t shownAt = 0;
            const auto sink = [&](const float *samples, std::size_t frames) {
                const std::size_t from = decoded->mono.size();
                appendFrames(decoded->samples, decoded->mono, samples, frames, channels);
                addPeaks(sofar, decoded->mono, from, expectedFrames);
                // What is decoded so far is drawn about every eighth of the pick.
                if (decoded->mono.size() - shownAt >= expectedFrames / 8) {
                    shownAt = decoded->mono.size();
                    postBack(self, [peaks = sofar, seconds = double(expectedFrames) /
                                                             rate](FitWindow &window) mutable {
                        if (!window.decoded_)
                            window.waveform_->setPeaks(std::move(peaks), seconds);
                    });
                }
                return !stop.stop_requested();
            };
            decoded->failed = makeDecoder()->decode(file, rate, channels, sink, stop).has_value();
            // The whole picture at the length decoded, which the one read may only estimate.
            if (!decoded->failed && !stop.stop_requested())
                decoded->peaks = peaksOf(decoded->mono);
            postBack(self, [decoded](FitWindow &window) { window.takeDecoded(decoded); });
        });
}

void FitWindow::takeDecoded(std::shared_ptr<Decoded> decoded)
{
    audio_ = std::move(decoded);
    decoded_ = !audio_->failed && !audio_->mono.empty();
    if (decoded_) {
        waveform_->setDetail(std::shared_ptr<const std::vector<float>>(audio_, &audio_->mono),
                             pick_.slotRate);
        const double length = double(audio_->mono.size()) / pick_.slotRate;
        CachedWaveform &cached = waveformCache()[cacheKey(pick_.file, pick_.slotRate)];
        cached = {std::move(audio_->peaks), length};
        waveform_->setPeaks(cached.peaks, length);
        // Now that the length is known for sure, no marker goes past it; nor past what
        // Change takes as within the pick, where that is shorter.
        const double longest = longestSeconds();
        for (QDoubleSpinBox *box : {start_, end_, fadeIn_, fadeOut_})
            box->setMaximum(longest > 0 ? std::min(longest, length) : length);
        for (QPushButton *button : needDecoding_)
            button->setEnabled(true);
        const bool jingle = pick_.role && pick_.role->kind == core::SlotRole::Kind::Jingle;
        findLoop_->setEnabled(!jingle);
        // A jingle is played once: it has no seam.
        playSeam_->setEnabled(!jingle);
        gameLength_->setEnabled(jingle);
    }
    if (decoded_)
        loopLine_->setText(foundLine_);
    else
        loopLine_->setText(QString::fromUtf8(TextTable::forLanguage(language_).fitPickUnreadable));
    shapeChanged();
    emit decodingEnded();
    if (decoded_)
        for (const auto action : std::exchange(waiting_, {}))
            (this->*action)();
}

void FitWindow::whenDecoded(void (FitWindow::*action)())
{
    if (decoded_)
        (this->*action)();
    else if (!audio_ && std::find(waiting_.begin(), waiting_.end(), action) == waiting_.end())
        waiting_.push_back(action);
}

double FitWindow::longestSeconds() const
{
    const std::optional<std::int64_t> frames = pick_.info.mostFrames();
    return frames ? double(*frames) / pick_.info.sampleRate : 0;
}

void FitWindow::showFit(const core::PickFit &fit)
{
    const double rate = pick_.info.sampleRate > 0 ? pick_.info.sampleRate : 44100;
    const double start = double(fit.start) / rate;
    const double end = fit.end ? double(*fit.end) / rate : end_->maximum();
    crossfade_ = std::size_t(double(fit.crossfade) / rate * pick_.slotRate);
    syncing_ = true;
    start_->setValue(start);
    end_->setValue(end);
    fadeIn_->setValue(double(fit.fadeIn) / rate);
    fadeOut_->setValue(double(fit.fadeOut) / rate);
    syncing_ = false;
    waveform_->setMarkers(start_->value(), end_->value());
    exact_ = fit;
    // A loop found here or when the window was open before.
    found_.reset();
    foundLine_.clear();
    if (fit.isFoundLoop()) {
        exact_->found = true;
        found_ = exact_;
        foundLine_ = QString::fromUtf8(TextTable::forLanguage(language_).fitLoopKept)
                         .arg(NumberText::minutesSeconds(start, language_),
                              NumberText::minutesSeconds(end, language_))
                         .arg(std::llround(double(fit.crossfade) / rate * 1000));
    }
    if (decoded_)
        loopLine_->setText(foundLine_);
    shapeChanged();
}

void FitWindow::movedByHand()
{
    if (found_) {
        const double rate = pick_.info.sampleRate;
        const auto shows = [](const QDoubleSpinBox *box, double seconds) {
            return std::abs(box->value() - std::round(seconds * 100) / 100) < 1e-6;
        };
        const double end = found_->end ? double(*found_->end) / rate : end_->maximum();
        if (shows(start_, double(found_->start) / rate) && shows(end_, end) &&
            fadeIn_->value() == 0 && fadeOut_->value() == 0) {
            exact_ = found_;
            crossfade_ = std::size_t(double(found_->crossfade) / rate * pick_.slotRate);
            loopLine_->setText(foundLine_);
            shapeChanged();
            return;
        }
    }
    // A loop's crossfade belongs to its own ends.
    crossfade_ = 0;
    exact_.reset();
    if (found_)
        loopLine_->setText(QString::fromUtf8(TextTable::forLanguage(language_).fitLoopHandSet)
                               .arg(NumberText::minutesSeconds(start_->value(), language_),
                                    NumberText::minutesSeconds(end_->value(), language_)));
    shapeChanged();
}

void FitWindow::shapeChanged()
{
    const double rate = pick_.slotRate;
    waveform_->setFades(fadeIn_->value(), fadeOut_->value(), double(crossfade_) / rate);
    if (!decoded_ || pick_.info.sampleRate <= 0)
        return;
    const core::PickFit shown = fit();
    if (rendered_ && renderedFit_ == shown) {
        showWrittenJoin(*rendered_);
        return;
    }
    seamSettled_->start();
    // Until it is rendered, from the decoded pick at the markers, faded and crossfaded.
    const std::vector<float> &mono = audio_->mono;
    const auto slotFrame = [&](std::int64_t frames) {
        return std::size_t(std::llround(double(frames) / pick_.info.sampleRate * rate));
    };
    const std::size_t end = std::min(shown.end ? slotFrame(*shown.end) : mono.size(), mono.size());
    const std::size_t start = std::min(slotFrame(shown.start), end);
    const auto side = std::size_t(SeamView::sideSeconds * rate);
    const std::size_t fadeIn = slotFrame(shown.fadeIn);
    const std::size_t fadeOut = slotFrame(shown.fadeOut);
    const std::size_t crossfade = std::min(slotFrame(shown.crossfade), start);
    std::vector<float> before(mono.begin() +
                                  std::ptrdiff_t(std::max(start, end - std::min(end, side))),
                              mono.begin() + std::ptrdiff_t(end));
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::size_t left = before.size() - i; // frames to the end
        if (left <= fadeOut)
            before[i] *= float(left) / float(fadeOut);
        if (left <= crossfade) {
            const float in = 1 - float(left) / float(crossfade);
            before[i] = before[i] * (1 - in) + mono[start - left] * in;
        }
    }
    std::vector<float> after(mono.begin() + std::ptrdiff_t(start),
                             mono.begin() + std::ptrdiff_t(std::min(end, start + side)));
    for (std::size_t i = 0; i < std::min(fadeIn, after.size()); ++i)
        after[i] *= float(i) / float(fadeIn);
    seam_->setJoin(std::move(before), std::move(after), SeamView::Drawn::FromThePick);
}

void FitWindow::markersMoved(double start, double end)
{
    syncing_ = true;
    start_->setValue(start);
    end_->setValue(end);
    syncing_ = false;
    if (start_->value() != start || end_->value() != end)
        waveform_->setMarkers(start_->value(), end_->value());
    movedByHand();
}

void FitWindow::spinBoxChanged()
{
    if (syncing_)
        return;
    double start = start_->value();
    double end = end_->value();
    if (end - start < WaveformView::shortestPart) {
        // The box just typed in wins; the other gives way.
        if (sender() == start_)
            start = std::max(0.0, end - WaveformView::shortestPart);
        else
            end = std::min(end_->maximum(), start + WaveformView::shortestPart);
    }
    syncing_ = true;
    start_->setValue(start);
    end_->setValue(end);
    syncing_ = false;
    waveform_->setMarkers(start, end);
    movedByHand();
}

core::PickFit FitWindow::fit() const
{
    if (exact_)
        return *exact_;
    const double rate = pick_.info.sampleRate;
    const auto frames = [rate](double seconds) {
        return std::int64_t(std::llround(seconds * rate));
    };
    core::PickFit fit;
    fit.start = frames(start_->value());
    // The end at the pick's own end, as read or as decoded, is no cut.
    if (end_->value() < end_->maximum() - 0.005)
        fit.end = frames(end_->value());
    const std::int64_t kept = frames(end_->value()) - fit.start;
    fit.fadeIn = std::min(frames(fadeIn_->value()), kept);
    fit.fadeOut = std::min(frames(fadeOut_->value()), kept - fit.fadeIn);
    fit.crossfade = std::min(std::int64_t(std::llround(double(crossfade_) * rate / pick_.slotRate)),
                             std::min(fit.start, core::PickFit::longestCrossfade(int(rate))));
    return fit;
}

std::size_t FitWindow::frameAt(double seconds) const
{
    return std::size_t(std::llround(std::max(seconds, 0.0) * pick_.slotRate));
}

void FitWindow::playAtOnce()
{
    // The whole pick, unfaded, is the pick's own file: it plays while the rest is read.
    if (!decoded_ && fit().isWhole()) {
        listening_.play(pick_.slot, Listening::Source::Pick,
                        core::platform::pathFromText(pick_.file.toStdString()), pick_.gain);
        return;
    }
    whenDecoded(&FitWindow::play);
}

void FitWindow::play()
{
    if (!decoded_)
        return;
    const QString part = preview_.write(audio_->interleaved(), pick_.slotRate, audio_->channels,
                                        {{frameAt(start_->value()), frameAt(end_->value()),
                                          frameAt(fadeIn_->value()), frameAt(fadeOut_->value())}});
    if (!part.isEmpty())
        listening_.play(pick_.slot, Listening::Source::Pick,
                        core::platform::pathFromText(part.toStdString()), pick_.gain);
}

void FitWindow::playSeam()
{
    if (!decoded_)
        return;
    if (rendered_ && renderedFit_ == fit()) {
        playWrittenJoin(*rendered_);
        return;
    }
    playSeam_->setEnabled(false);
    if (rendering_ == fit())
        playWhenRendered_ = true;
    else
        startRender(true);
}

void FitWindow::renderSeam()
{
    if (decoded_ && !seam_->isHidden() && renderedFit_ != fit() && rendering_ != fit())
        startRender(false);
}

void FitWindow::startRender(bool play)
{
    // As the game loops the file Change writes: its end, then its start again, encoded in the
    // slot's format and decoded every sample. A render under way for another fit is stopped.
    const core::ConversionPool::Job job{
        pick_.slot,       core::platform::pathFromText(pick_.file.toStdString()),
        pick_.slotFormat, nullptr,
        pick_.info.isMp3, fit()};
    renderStop_.request_stop();
    renderStop_ = std::stop_source();
    rendering_ = job.fit;
    playWhenRendered_ = play;
    const QPointer self(this);
    const core::AudioCodecs *codecs = &codecs_;
    const std::filesystem::path scratch =
        core::platform::pathFromText(QDir::tempPath().toStdString());
    QThreadPool::globalInstance()->start([self, codecs, job, scratch, closed = stop_.get_token(),
                                          replaced = renderStop_.get_token()] {
        std::stop_source stop;
        const std::stop_callback onClose(closed, [&stop] { stop.request_stop(); });
        const std::stop_callback onReplace(replaced, [&stop] { stop.request_stop(); });
        auto rendered =
            core::WrittenJoin::render(*codecs, job, seamSeconds, scratch, {}, stop.get_token());
        postBack(self, [rendered = std::move(rendered), fit = job.fit](FitWindow &window) {
            window.joinRendered(rendered, fit);
        });
    });
}

void FitWindow::joinRendered(
    const std::variant<core::WrittenJoin::Audio, core::ConversionFailure> &rendered,
    const core::PickFit &fit)
{
    // A render stopped for a later one ends here too.
    if (rendering_ != fit)
        return;
    rendering_.reset();
    const bool play = std::exchange(playWhenRendered_, false);
    playSeam_->setEnabled(true);
    const auto *join = std::get_if<core::WrittenJoin::Audio>(&rendered);
    if (!join || join->channels <= 0)
        return;
    rendered_ = std::make_shared<const core::WrittenJoin::Audio>(*join);
    renderedFit_ = fit;
    // Drawn only where nothing has moved since: the seam view shows the fit as it is now.
    if (fit == this->fit())
        showWrittenJoin(*join);
    if (play)
        playWrittenJoin(*join);
}

void FitWindow::playWrittenJoin(const core::WrittenJoin::Audio &join)
{
    const std::size_t frames = join.samples.size() / std::size_t(join.channels);
    const QString part =
        preview_.write(join.samples, join.sampleRate, join.channels, {{0, frames, 0, 0}});
    if (!part.isEmpty())
        listening_.play(pick_.slot, Listening::Source::Pick,
                        core::platform::pathFromText(part.toStdString()), pick_.gain);
}

void FitWindow::showWrittenJoin(const core::WrittenJoin::Audio &join)
{
    // The seam as written, until anything is moved.
    const auto channels = std::size_t(join.channels);
    const std::size_t frames = join.samples.size() / channels;
    const auto side = std::size_t(SeamView::sideSeconds * join.sampleRate);
    const auto mono = [&](std::size_t from, std::size_t to) {
        std::vector<float> out;
        for (std::size_t i = from; i < to; ++i) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += join.samples[i * channels + c];
            out.push_back(sum / float(channels));
        }
        return out;
    };
    const std::size_t turn = std::min(join.turnAt, frames);
    seam_->setJoin(mono(turn - std::min(turn, side), turn),
                   mono(turn, std::min(frames, turn + side)), SeamView::Drawn::AsWritten);
}

void FitWindow::stopPlaying()
{
    listening_.stop();
}

void FitWindow::reject()
{
    listening_.stop();
    QDialog::reject();
}

void FitWindow::findLoopWhenRead()
{
    // Reading the pick is the search's first part, and is told as such.
    if (!decoded_ && !audio_) {
        findLoop_->setEnabled(false);
        loopLine_->setText(QString::fromUtf8(TextTable::forLanguage(language_).fitLoopSearching));
    }
    whenDecoded(&FitWindow::findLoop);
}

void FitWindow::findLoop()
{
    if (!decoded_)
        return;
    // Pressed again, the next loop found is offered.
    if (!loops_.empty()) {
        loopShown_ = (loopShown_ + 1) % loops_.size();
        showLoop();
        return;
    }
    findLoop_->setEnabled(false);
    loopLine_->setText(QString::fromUtf8(TextTable::forLanguage(language_).fitLoopSearching));
    const QPointer self(this);
    const auto makeTransform = codecs_.makeRealTransform;
    QThreadPool::globalInstance()->start(
        [self, audio = audio_, rate = pick_.slotRate, makeTransform, stop = stop_.get_token()] {
            std::vector<core::LoopCandidate> loops =
                core::LoopFinder(makeTransform).find(audio->mono, rate, stop);
            postBack(self, [loops = std::move(loops)](FitWindow &window) mutable {
                window.takeLoops(std::move(loops));
            });
        });
}

void FitWindow::takeLoops(std::vector<core::LoopCandidate> loops)
{
    findLoop_->setEnabled(true);
    loops_ = std::move(loops);
    loopShown_ = 0;
    if (loops_.empty())
        loopLine_->setText(QString::fromUtf8(TextTable::forLanguage(language_).fitLoopNone));
    else
        showLoop();
    emit loopSearchEnded();
}

void FitWindow::showLoop()
{
    const core::LoopCandidate &loop = loops_[loopShown_];
    const double start = double(loop.start) / pick_.slotRate;
    const double end = double(loop.end) / pick_.slotRate;
    syncing_ = true;
    start_->setValue(start);
    end_->setValue(end);
    fadeIn_->setValue(0);
    fadeOut_->setValue(0);
    syncing_ = false;
    waveform_->setMarkers(start, end);
    crossfade_ = loop.crossfade;
    exact_.reset();
    exact_ = fit();
    const double rate = pick_.info.sampleRate;
    const auto frames = [&](std::size_t slotFrames) {
        return std::int64_t(std::llround(double(slotFrames) * rate / pick_.slotRate));
    };
    exact_->start = frames(loop.start);
    exact_->end = frames(loop.end);
    exact_->crossfade = std::min(exact_->crossfade, exact_->start);
    exact_->found = true;
    found_ = exact_;
    foundLine_ = QString::fromUtf8(TextTable::forLanguage(language_).fitLoopFound)
                     .arg(NumberText::minutesSeconds(start, language_),
                          NumberText::minutesSeconds(end, language_))
                     .arg(loopShown_ + 1)
                     .arg(loops_.size());
    loopLine_->setText(foundLine_);
    shapeChanged();
}

void FitWindow::fitToGameLength()
{
    if (!decoded_ || !pick_.role)
        return;
    // The pick's first sound by the one rule of silence, the one the slot's tooltip tells.
    core::SilenceGate gate(pick_.slotRate, audio_->channels);
    gate.add(audio_->interleaved().data(), audio_->mono.size());
    const double start = double(gate.ends(gate.integratedLevel()).leading) / pick_.slotRate;
    const double end = std::min(end_->maximum(), start + pick_.role->seconds);
    syncing_ = true;
    start_->setValue(start);
    end_->setValue(end);
    fadeIn_->setValue(0);
    fadeOut_->setValue(std::min(jingleFadeOut, end - start));
    syncing_ = false;
    crossfade_ = 0;
    exact_.reset();
    found_.reset();
    waveform_->setMarkers(start_->value(), end_->value());
    loopLine_->clear();
    shapeChanged();
}

void FitWindow::reset()
{
    showFit({});
}
