// SPDX-License-Identifier: GPL-3.0-or-later
#include "SinkPlayer.h"

#include "DecodedStream.h"
#include "SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

#include <algorithm>

namespace {

// Half a second decoded ahead: enough to ride out a busy moment, little memory.
constexpr qint64 aheadMicroseconds = 500'000;

// The device's own rate and at most two channels, as floats where it takes them.
QAudioFormat outputFormat(const QAudioDevice &device)
{
    QAudioFormat format = device.preferredFormat();
    if (format.sampleRate() <= 0)
        format.setSampleRate(48000);
    format.setChannelCount(std::clamp(format.channelCount(), 1, 2));
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        format.setSampleFormat(QAudioFormat::Int16);
    return format;
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
    QMetaObject::invokeMethod(
        output_, [output = output_] { delete output; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

bool SinkPlayer::hasOutputDevice()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

void SinkPlayer::play(const std::filesystem::path &file, Ended ended)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        ended("no sound output device");
        return;
    }
    const QAudioFormat format = outputFormat(device);
    stream_ = std::make_shared<DecodedStream>(
        core::AudioCodecs::builtIn().makeDecoder(),
        DecodedStream::Format{format.sampleRate(), format.channelCount(),
                              format.sampleFormat() == QAudioFormat::Float},
        std::size_t(format.bytesForDuration(aheadMicroseconds)));
    stream_->start(file);
    QMetaObject::invokeMethod(
        output_,
        [output = output_, device, format, stream = stream_, ended = std::move(ended)] {
            output->start(device, format, stream, ended);
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

std::unique_ptr<core::AudioPlayer> makeSinkPlayer()
{
    return std::make_unique<SinkPlayer>();
}
