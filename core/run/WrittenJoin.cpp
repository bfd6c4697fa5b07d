// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/WrittenJoin.h"

#include "audio/Mp3Gain.h"
#include "files/AtomicFileWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace core {

namespace {

// The written file as the game decodes it: every frame's samples, none trimmed.
std::vector<float> everySample(const AudioCodecs &codecs, const std::filesystem::path &written,
                               const std::filesystem::path &scratch, const Mp3Settings &slot)
{
    std::string mp3;
    {
        std::ifstream in(written, std::ios::binary);
        mp3.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Mp3Gain::removeInformationFrames(mp3);
    const std::filesystem::path frames = scratch / AtomicFileWriter::newTemporaryName();
    std::ofstream(frames, std::ios::binary).write(mp3.data(), std::streamsize(mp3.size()));
    std::vector<float> samples;
    codecs.makeDecoder()->decode(
        frames, slot.sampleRate, slot.channels, [&](const float *block, std::size_t count) {
            samples.insert(samples.end(), block, block + count * std::size_t(slot.channels));
            return true;
        });
    std::error_code ignored;
    std::filesystem::remove(frames, ignored);
    return samples;
}

} // namespace

std::variant<WrittenJoin::Audio, ConversionFailure>
WrittenJoin::render(const AudioCodecs &codecs, const ConversionPool::Job &job, double seconds,
                    const std::filesystem::path &scratch, const Progress &progress,
                    std::stop_token stop)
{
    std::filesystem::path written = job.source;
    std::filesystem::path staged;
    // Unmatched, an MP3 pick with no fit is copied byte for byte.
    if (!(job.isMp3 && job.fit.isWhole() && !job.matching)) {
        ConversionPool pool(
            &codecs, {job}, scratch,
            [&](double done, int) {
                if (progress)
                    progress(done);
            },
            1, stop);
        ConversionPool::Result result = pool.take(job.slot);
        if (result.failure)
            return *result.failure;
        written = staged = result.staged;
    }
    Audio join{{}, job.settings.sampleRate, job.settings.channels, 0};
    const std::vector<float> turn = everySample(codecs, written, scratch, job.settings);
    std::error_code ignored;
    if (!staged.empty())
        std::filesystem::remove(staged, ignored);
    const auto channels = std::size_t(join.channels);
    const std::size_t side =
        std::min(turn.size() / channels, std::size_t(std::llround(seconds * join.sampleRate)));
    join.samples.assign(turn.end() - std::ptrdiff_t(side * channels), turn.end());
    join.samples.insert(join.samples.end(), turn.begin(),
                        turn.begin() + std::ptrdiff_t(side * channels));
    join.turnAt = side;
    return join;
}

} // namespace core
