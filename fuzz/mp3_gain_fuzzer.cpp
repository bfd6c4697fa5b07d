// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the lossless MP3 gain: it must never crash or read out of bounds,
// never change a stream's size, leave a stream it refuses as it was, and agree with its own
// check of what it refuses. The length its information frame tells is read in bounds too,
// and is never more than its frames hold.

#include "audio/Mp3Gain.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte is the steps, the rest the stream.
    const int steps = int(std::int8_t(data[0])) % 16;
    const std::string original(reinterpret_cast<const char *>(data + 1), size - 1);
    std::string changed = original;
    const auto applied = core::Mp3Gain::apply(changed, steps);
    if (changed.size() != original.size())
        std::abort();
    const auto refusal = core::Mp3Gain::refusal(original);
    if (std::holds_alternative<core::Mp3Gain::Refusal>(applied)) {
        if (changed != original || refusal != std::get<core::Mp3Gain::Refusal>(applied))
            std::abort();
    } else if (refusal || std::abs(std::get<int>(applied)) > std::abs(steps)) {
        std::abort();
    }
    const auto length = core::Mp3Gain::length([&](std::int64_t offset, std::size_t count) {
        return offset < 0 || std::size_t(offset) > original.size()
                   ? std::string()
                   : original.substr(std::size_t(offset), count);
    });
    if (length && (length->decoded < 0 || length->decoded > length->coded))
        std::abort();
    return 0;
}
