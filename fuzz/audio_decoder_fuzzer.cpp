// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the music reader, as a file: probing and decoding must never
// crash, hang or read out of bounds, and what probes as music must decode.

#include "music/AudioCodecs.h"

#include <cstdint>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A file in memory, opened by its name as the program opens a pick.
    const int fd = memfd_create("pick", MFD_CLOEXEC);
    if (fd < 0 || write(fd, data, size) != ssize_t(size))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    if (std::holds_alternative<core::AudioInfo>(decoder->probe(path))) {
        std::size_t frames = 0;
        decoder->decode(path, 22050, 1, [&](const float *, std::size_t count) {
            frames += count;
            return true;
        });
    }
    close(fd);
    return 0;
}
