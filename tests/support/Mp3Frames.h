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

// Where the first frame starts: after an ID3v2 tag at the start, where there is one.
inline std::size_t afterId3v2(const std::string &data)
{
    if (data.compare(0, 3, "ID3") != 0)
        return 0;
    std::size_t size = 0;
    for (std::size_t i = 6; i < 10; ++i)
        size = size << 7 | (byteAt(data, i) & 0x7F);
    return size + 10;
}

// Sets a granule's global gain in an MPEG-1 stereo frame without checksum.
inline void setGlobalGain(std::string &data, const Frame &frame, int granule, int gain)
{
    const std::size_t bit = (frame.at + 4) * 8 + 9 + 3 + 8 + std::size_t(granule) * 59 + 21;
    for (int i = 0; i < 8; ++i) {
        const std::size_t at = (bit + std::size_t(i)) / 8;
        const auto mask = char(1 << (7 - (bit + std::size_t(i)) % 8));
        data[at] = char((gain >> (7 - i)) & 1 ? data[at] | mask : data[at] & ~mask);
    }
}

// Tags as players' files carry them, around a body of the caller's.
inline std::string syncsafe(std::size_t size)
{
    std::string bytes(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= 7)
        bytes[std::size_t(i)] = char(size & 0x7F);
    return bytes;
}

inline std::string littleEndian(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i, value >>= 8)
        bytes += char(value & 0xFF);
    return bytes;
}

// An ID3v2.4 tag holding body as one frame's content; with a footer, as appended at the end.
inline std::string id3v2(const std::string &body, bool footer = false)
{
    const std::string frame = "APIC" + syncsafe(body.size()) + std::string(2, '\0') + body;
    const std::string size = syncsafe(frame.size());
    const char flags = footer ? 0x10 : 0;
    return "ID3" + std::string{4, 0, flags} + size + frame +
           (footer ? "3DI" + std::string{4, 0, flags} + size : std::string());
}

inline std::string ape(const std::string &body)
{
    const std::string item = littleEndian(std::uint32_t(body.size())) + littleEndian(2) +
                             "Cover Art (Front)" + std::string(1, '\0') + body;
    const auto part = [&](std::uint32_t flags) {
        return "APETAGEX" + littleEndian(2000) + littleEndian(std::uint32_t(item.size() + 32)) +
               littleEndian(1) + littleEndian(flags) + std::string(8, '\0');
    };
    return part(0xA0000000u) + item + part(0x80000000u);
}

inline std::string lyrics3v2(const std::string &body)
{
    const auto digits = [](std::size_t value, std::size_t count) {
        std::string text = std::to_string(value);
        return text.insert(0, count - text.size(), '0');
    };
    const std::string content = "LYRICSBEGINLYR" + digits(body.size(), 5) + body;
    const std::string size = digits(content.size(), 6);
    return content + size + "LYRICS200";
}

inline std::string id3v1()
{
    return "TAG" + std::string(125, ' ');
}

} // namespace mp3frames
