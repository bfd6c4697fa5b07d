// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QList>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DecodedStream;
class QAudioSink;
class QIODevice;

// One playback on the sound output: opens the output in the first format it takes, starts
// the stream's decoding in that format, writes what it has decoded as the output makes room,
// and says when the music has played out, failed or was stopped. Lives on the player's
// thread.
class SoundOutput : public QObject
{
    Q_OBJECT

  public:
    // What the playback tells its player.
    struct Told
    {
        core::AudioPlayer::Ended ended;
        core::AudioPlayer::Sounding sounding;
    };

    explicit SoundOutput(QObject *parent = nullptr);
    ~SoundOutput() override;

    void start(const QAudioDevice &device, const QList<QAudioFormat> &formats,
               const std::filesystem::path &file, std::shared_ptr<DecodedStream> stream, Told told);
    void stop();

  private:
    // The first of the formats the output opens in, or the reason none did.
    std::optional<core::Reason> open(const QAudioDevice &device,
                                     const QList<QAudioFormat> &formats);
    void feed();
    void end(std::optional<core::Reason> failure);

    std::unique_ptr<QAudioSink> sink_;
    QIODevice *device_ = nullptr;
    std::shared_ptr<DecodedStream> stream_;
    core::AudioPlayer::Ended ended_;
    core::AudioPlayer::Sounding sounding_;
    QTimer timer_;
    std::vector<char> buffer_;
    // Once every sample is written: how long the output may still take to play them out.
    qint64 drainDeadline_ = -1;
};
