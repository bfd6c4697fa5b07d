// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundOutput.h"

#include "DecodedStream.h"

#include <QAudioSink>
#include <QDeadlineTimer>

#include <algorithm>

namespace {

// Short enough that Play sounds at once and Stop is heard at once.
constexpr qint64 outputBufferMicroseconds = 200'000;
// Half a second decoded ahead: enough to ride out a busy moment, little memory.
constexpr qint64 aheadMicroseconds = 500'000;
constexpr int feedIntervalMilliseconds = 10;

bool isBroken(QAudio::Error error)
{
    return error == QAudio::OpenError || error == QAudio::FatalError;
}

core::Reason describe(QAudio::Error error)
{
    return {error == QAudio::OpenError ? core::Reason::Code::OutputNotOpened
                                       : core::Reason::Code::OutputFailed,
            {}};
}

} // namespace

SoundOutput::SoundOutput(QObject *parent) : QObject(parent), timer_(this)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(feedIntervalMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &SoundOutput::feed);
}

SoundOutput::~SoundOutput()
{
    stop();
}

void SoundOutput::start(const QAudioDevice &device, const QList<QAudioFormat> &formats,
                        const std::filesystem::path &file, std::shared_ptr<DecodedStream> stream,
                        Told told)
{
    stop();
    stream_ = std::move(stream);
    ended_ = std::move(told.ended);
    sounding_ = std::move(told.sounding);
    drainDeadline_ = -1;
    if (std::optional<core::Reason> failure = open(device, formats)) {
        end(std::move(failure));
        return;
    }
    const QAudioFormat format = sink_->format();
    const std::size_t ahead = std::size_t(format.bytesForDuration(aheadMicroseconds));
    if (!stream_->start(file,
                        {format.sampleRate(), format.channelCount(),
                         format.sampleFormat() == QAudioFormat::Float},
                        ahead)) {
        end(std::nullopt); // stopped meanwhile
        return;
    }
    buffer_.resize(std::size_t(format.bytesForDuration(outputBufferMicroseconds)));
    timer_.start();
}

std::optional<core::Reason> SoundOutput::open(const QAudioDevice &device,
                                              const QList<QAudioFormat> &formats)
{
    // A format the output mixes in as it is needs no converter; where none is at hand (Wine
    // without its media plugins) that is the only one it opens in.
    QAudio::Error error = QAudio::OpenError;
    for (const QAudioFormat &format : formats) {
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->setBufferSize(format.bytesForDuration(outputBufferMicroseconds));
        device_ = sink_->start();
        error = sink_->error();
        if (device_ && !isBroken(error))
            return std::nullopt;
        sink_.reset();
        device_ = nullptr;
    }
    return describe(error);
}

void SoundOutput::stop()
{
    end(std::nullopt);
}

void SoundOutput::feed()
{
    // A tick queued before the playback ended finds nothing to feed.
    if (!sink_ || !stream_)
        return;
    if (std::optional<core::Reason> failure = stream_->failure()) {
        end(std::move(failure));
        return;
    }
    if (isBroken(sink_->error())) {
        end(describe(sink_->error()));
        return;
    }
    const std::size_t room =
        std::min(std::size_t(std::max<qsizetype>(sink_->bytesFree(), 0)), buffer_.size());
    if (const std::size_t taken = stream_->read(buffer_.data(), room)) {
        device_->write(buffer_.data(), qint64(taken));
        if (core::AudioPlayer::Sounding sounding = std::exchange(sounding_, nullptr))
            sounding();
    }
    if (!stream_->atEnd())
        return;
    // Everything is written: done once the output has played it out.
    const qint64 now = QDeadlineTimer::current().deadline();
    if (drainDeadline_ < 0)
        drainDeadline_ = now + outputBufferMicroseconds / 1000 + 500;
    if (sink_->state() == QAudio::IdleState || now >= drainDeadline_)
        end(std::nullopt);
}

void SoundOutput::end(std::optional<core::Reason> failure)
{
    timer_.stop();
    if (sink_) {
        sink_->stop();
        sink_.reset();
    }
    device_ = nullptr;
    stream_.reset();
    sounding_ = nullptr;
    if (core::AudioPlayer::Ended ended = std::exchange(ended_, nullptr))
        ended(std::move(failure));
}
