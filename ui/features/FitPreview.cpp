// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/FitPreview.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

void putLittleEndian(QByteArray &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// 16-bit PCM; a linear fade at each end of the part.
void appendPart(QByteArray &pcm, const std::vector<float> &samples, int channels,
                const FitPreview::Part &part)
{
    const std::size_t frames = samples.size() / std::size_t(channels);
    const std::size_t to = std::min(part.to, frames);
    for (std::size_t frame = part.from; frame < to; ++frame) {
        double gain = 1;
        if (part.fadeIn > 0 && frame - part.from < part.fadeIn)
            gain = double(frame - part.from) / double(part.fadeIn);
        if (part.fadeOut > 0 && to - frame <= part.fadeOut)
            gain = std::min(gain, double(to - frame - 1) / double(part.fadeOut));
        for (int channel = 0; channel < channels; ++channel) {
            const double value = std::clamp(
                samples[frame * std::size_t(channels) + std::size_t(channel)] * gain, -1.0, 1.0);
            putLittleEndian(pcm, std::uint16_t(std::int16_t(std::lround(value * 32767))), 2);
        }
    }
}

} // namespace

QString FitPreview::write(const std::vector<float> &samples, int sampleRate, int channels,
                          const std::vector<Part> &parts)
{
    if (!folder_.isValid() || channels <= 0)
        return {};
    QByteArray pcm;
    for (const Part &part : parts)
        appendPart(pcm, samples, channels, part);
    QByteArray wav("RIFF");
    putLittleEndian(wav, std::uint32_t(36 + pcm.size()), 4);
    wav.append("WAVEfmt ");
    putLittleEndian(wav, 16, 4);
    putLittleEndian(wav, 1, 2); // PCM
    putLittleEndian(wav, std::uint32_t(channels), 2);
    putLittleEndian(wav, std::uint32_t(sampleRate), 4);
    putLittleEndian(wav, std::uint32_t(sampleRate * channels * 2), 4);
    putLittleEndian(wav, std::uint32_t(channels * 2), 2);
    putLittleEndian(wav, 16, 2);
    wav.append("data");
    putLittleEndian(wav, std::uint32_t(pcm.size()), 4);
    wav.append(pcm);
    // A new name each time: the playback may still hold the last file open.
    QFile file(folder_.filePath(QStringLiteral("part-%1.wav").arg(++written_)));
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        return {};
    return file.fileName();
}
