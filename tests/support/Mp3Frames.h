// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A plain reading of a layer III stream, for checking what the lossless gain wrote: where
// each frame is, whether its checksum holds, and the encoder tag's checksums.
namespace mp3frames {

struct Frame
{
    std::size_t at = 0;
    std::size_t length = 0;
    bool hasCrc = false;
    bool crcHolds = true;
};

inline unsigned byteAt(const std::string &data, std::size_t at)
{
    return static_cast<unsigned char>(data[at]);
}

inline std::uint16_t crc8005(const std::string &data, std::size_t at, std::size_t size,
                             std::uint16_t crc)
{
    for (std::size_t i = at; i < at + size; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) ^ (byteAt(data, i) >> bit)) & 1;
            crc = std::uint16_t(crc << 1) ^ (top ? 0x8005 : 0);
        }
    }
    return crc;
}

inline std::uint16_t crcA001(const std::string &data, std::size_t at, std::size_t size)
{
    std::uint16_t crc = 0;
    for (std::size_t i = at; i < at + size; ++i) {
        crc ^= std::uint16_t(byteAt(data, i));
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

// Every frame from the first sync on, assuming a well-formed stream with no tags.
inline std::vector<Frame> frames(const std::string &data)
{
    static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    std::vector<Frame> found;
    std::size_t at = 0;
    while (at + 4 <= data.size() && byteAt(data, at) == 0xFF &&
           (byteAt(data, at + 1) & 0xE0) == 0xE0) {
        const unsigned version = (byteAt(data, at + 1) >> 3) & 3;
        const bool isMpeg1 = version == 3;
        const unsigned bitRate = byteAt(data, at + 2) >> 4;
        const int sampleRate = rates[(byteAt(data, at + 2) >> 2) & 3] / (isMpeg1        ? 1
                                                                         : version == 2 ? 2
                                                                                        : 4);
        const bool mono = (byteAt(data, at + 3) >> 6) == 3;
        Frame frame;
        frame.at = at;
        frame.hasCrc = (byteAt(data, at + 1) & 1) == 0;
        frame.length = std::size_t((isMpeg1 ? 144 : 72) * (isMpeg1 ? mpeg1 : mpeg2)[bitRate] *
                                       1000 / sampleRate +
                                   ((byteAt(data, at + 2) >> 1) & 1));
        if (frame.length == 0 || at + frame.length > data.size())
            break;
        if (frame.hasCrc) {
            const std::size_t sideInfo = isMpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
            std::uint16_t crc = crc8005(data, at + 2, 2, 0xFFFF);
            crc = crc8005(data, at + 6, sideInfo, crc);
            frame.crcHolds = crc == (byteAt(data, at + 4) << 8 | byteAt(data, at + 5));
        }
        found.push_back(frame);
        at += frame.length;
    }
    return found;
}

// Where the encoder tag of the information frame starts, or 0.
inline std::size_t encoderTagAt(const std::string &data, const Frame &first)
{
    for (std::size_t at = first.at; at + 4 <= first.at + first.length; ++at) {
        if (data.compare(at, 4, "Xing") == 0 || data.compare(at, 4, "Info") == 0)
            return at + 8 + 4 + 4 + 100 + 4; // every field LAME writes
    }
    return 0;
}

} // namespace mp3frames
