// SPDX-License-Identifier: GPL-3.0-or-later
#include "SinkPlayer.h"

#include "DecodedStream.h"
#include "SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

#include <algorithm>

namespace {

// Stereo floats at the two usual mixing rates first, then what the device says it prefers in
// at most two channels: the output converts what it does not mix in itself.
QList<QAudioFormat> formatsToTry(const QAudioDevice &device)
{
    QList<QAudioFormat> formats;
    for (const int rate : {48000, 44100}) {
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Float);
        formats << format;
    }
    QAudioFormat preferred = device.preferredFormat();
    preferred.setChannelCount(std::clamp(preferred.channelCount(), 1, 2));
    if (preferred.sampleFormat() != QAudioFormat::Float)
        preferred.setSampleFormat(QAudioFormat::Int16);
    if (preferred.sampleRate() > 0 && !formats.contains(preferred))
        formats << preferred;
    return formats;
}

} // namespace

SinkPlayer::SinkPlayer()
{
    thread_.setObjectName(QStringLiteral("Sound output"));
    output_ = new SoundOutput;
    output_->moveToThread(&thread_);
    thread_.start();
}

SinkPlayer::~SinkPlayer()
{
    stop();
    // Deleted on its own thread as that thread ends: a call still queued to it is dropped
    // with it, never delivered to it deleted.
    output_->deleteLater();
    thread_.quit();
    thread_.wait();
}

bool SinkPlayer::hasOutputDevice()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

void SinkPlayer::play(const std::filesystem::path &file, Ended ended, Sounding sounding)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        ended(core::Reason{core::Reason::Code::NoOutputDevice, {}});
        return;
    }
    stream_ = std::make_shared<DecodedStream>(core::AudioCodecs::builtIn().makeDecoder());
    QMetaObject::invokeMethod(
        output_,
        [output = output_, device, formats = formatsToTry(device), file, stream = stream_,
         ended = std::move(ended), sounding = std::move(sounding)] {
            output->start(device, formats, file, stream, {ended, sounding});
        },
        Qt::QueuedConnection);
}

void SinkPlayer::stop()
{
    if (!stream_)
        return;
    stream_->stop();
    stream_.reset();
    QMetaObject::invokeMethod(output_, &SoundOutput::stop, Qt::QueuedConnection);
}

void SinkPlayer::setGain(double decibels)
{
    if (stream_)
        stream_->setGain(decibels);
}

std::unique_ptr<core::AudioPlayer> makeSinkPlayer()
{
    return std::make_unique<SinkPlayer>();
}
