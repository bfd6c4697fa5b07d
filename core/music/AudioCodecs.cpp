// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/AudioCodecs.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace core {

namespace {

bool isPast(float sample)
{
    return !(std::abs(sample) <= AudioDecoder::largestSample);
}

// Every sample of a decoding passes here: a block is checked without a branch a sample, which
// the compiler makes a few vector instructions.
constexpr std::size_t checkedAtOnce = 64;

bool isBlockBounded(const float *samples)
{
    int past = 0;
    for (std::size_t i = 0; i < checkedAtOnce; ++i)
        past |= int(isPast(samples[i]));
    return past == 0;
}

} // namespace

bool AudioDecoder::isBounded(const float *samples, std::size_t count)
{
    std::size_t at = 0;
    for (; at + checkedAtOnce <= count; at += checkedAtOnce) {
        if (!isBlockBounded(samples + at))
            return false;
    }
    return std::none_of(samples + at, samples + count, isPast);
}

void AudioDecoder::bound(float *samples, std::size_t count)
{
    for (std::size_t at = 0; at < count; at += checkedAtOnce) {
        const std::size_t size = std::min(checkedAtOnce, count - at);
        if (size == checkedAtOnce && isBlockBounded(samples + at))
            continue;
        for (float *sample = samples + at; sample != samples + at + size; ++sample) {
            if (isPast(*sample))
                *sample =
                    std::isfinite(*sample) ? std::clamp(*sample, -largestSample, largestSample) : 0;
        }
    }
}

std::optional<std::int64_t> AudioInfo::mostFrames() const
{
    if (seconds <= 0 || sampleRate <= 0)
        return std::nullopt;
    // A constant bit rate's guess is off by the tags at most; a varying rate's by how far the
    // first frames' rate is from the whole file's average, which music keeps within a tenth.
    const double room = lengthEstimated ? std::max(1.0, seconds / 10) : 0;
    return std::llround((seconds + room) * sampleRate);
}

#ifdef _WIN32

std::filesystem::path AudioCodecs::modulePath()
{
    return {};
}

// Linked in, the audio code answers itself (its module file); a build without it copies.
#ifndef VMC_LINKED_AUDIO
const AudioCodecs *AudioCodecs::get(Reason *reason)
{
    if (reason)
        *reason = {Reason::Code::Mp3Only, {}};
    return nullptr;
}
#endif

#else

namespace {

constexpr char moduleName[] = "libvmc-audio.so";

std::filesystem::path programFolder()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

struct LoadedModule
{
    const AudioCodecs *codecs = nullptr;
    Reason reason{Reason::Code::NoAudioPart, {}};
};

// Beside the program in a build folder or a portable copy; in the library folder when
// installed.
std::filesystem::path besideProgram()
{
    return programFolder() / moduleName;
}

std::filesystem::path inLibraryFolder()
{
    return (programFolder().parent_path() / VMC_MODULE_FOLDER / moduleName).lexically_normal();
}

LoadedModule load()
{
    LoadedModule loaded;
    for (const std::filesystem::path &candidate : {besideProgram(), inLibraryFolder()}) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error))
            continue;
        void *module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            loaded.reason.detail = dlerror();
            continue;
        }
        using Entry = const AudioCodecs *(*)();
        if (auto entry = reinterpret_cast<Entry>(dlsym(module, "vmc_audio_codecs"))) {
            loaded.codecs = entry();
            return loaded;
        }
        loaded.reason.detail = candidate.string();
    }
    if (loaded.reason.detail.empty())
        loaded.reason.detail = besideProgram().string();
    return loaded;
}

} // namespace

std::filesystem::path AudioCodecs::modulePath()
{
    return programFolder().filename() == "bin" ? inLibraryFolder() : besideProgram();
}

const AudioCodecs *AudioCodecs::get(Reason *reason)
{
    static const LoadedModule loaded = load();
    if (!loaded.codecs && reason)
        *reason = loaded.reason;
    return loaded.codecs;
}

#endif

} // namespace core
