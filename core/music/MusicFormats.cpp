// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/MusicFormats.h"

#include "files/Platform.h"

#include <string>

namespace core {

bool MusicFormats::isMusicFileName(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const std::string extension = platform::asciiLowerCase(std::string(fileName.substr(dot + 1)));
    for (const std::string_view known : extensions) {
        if (extension == known)
            return true;
    }
    return false;
}

bool MusicFormats::beginsLikeMp3(std::string_view firstBytes)
{
    if (firstBytes.size() < 4)
        return false;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(firstBytes[i]); };
    if (firstBytes.substr(0, 3) == "ID3")
        return byte(3) != 0xFF;
    // Eleven sync bits, a known MPEG version, layer III, a bit rate and a sample rate that
    // exist: a random 0xFF byte passes for one rarely, and a FLAC, Ogg or WAV never.
    const bool sync = byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0;
    const bool version = ((byte(1) >> 3) & 0x03) != 0x01;
    const bool layerThree = ((byte(1) >> 1) & 0x03) == 0x01;
    const bool bitRate = (byte(2) >> 4) != 0x0F;
    const bool sampleRate = ((byte(2) >> 2) & 0x03) != 0x03;
    return sync && version && layerThree && bitRate && sampleRate;
}

bool MusicFormats::fileBeginsLikeMp3(const std::filesystem::path &file, FileSystem &fileSystem)
{
    FileSystem::Handle handle = 0;
    if (fileSystem.openForReading(file, handle))
        return false;
    char bytes[4];
    std::size_t got = 0;
    const SystemError error = fileSystem.read(handle, bytes, sizeof bytes, got);
    fileSystem.close(handle);
    return !error && beginsLikeMp3(std::string_view(bytes, got));
}

} // namespace core
