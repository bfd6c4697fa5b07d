// SPDX-License-Identifier: GPL-3.0-or-later
// Bit handling of MPEG audio frames, after ISO/IEC 11172-3 and 13818-3: frame headers, the
// layer III side information and its checksum, and the encoder's information frame.
#include "Mp3Gain.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace core {

namespace {

using Byte = unsigned char;

using Kbps = std::array<int, 15>;
constexpr Kbps mpeg1Layer1{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr Kbps mpeg1Layer2{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr Kbps mpeg1Layer3{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr Kbps mpeg2Layer1{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr Kbps mpeg2Layer23{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 3> mpeg1Rates{44100, 48000, 32000};

struct Header
{
    int version = 0; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    int layer = 0;   // 1, 2 or 3
    bool hasCrc = false;
    int bitRateIndex = 0;
    int rateIndex = 0;
    bool mono = false;
    std::size_t length = 0; // the whole frame; 0 in free format

    bool mpeg1() const { return version == 3; }
    std::size_t sideInfoSize() const { return mpeg1() ? (mono ? 17 : 32) : (mono ? 9 : 17); }
    std::size_t sideInfoAt() const { return 4 + (hasCrc ? 2 : 0); }
    bool sameStreamAs(const Header &other) const
    {
        return version == other.version && layer == other.layer && rateIndex == other.rateIndex;
    }
};

std::optional<Header> readHeader(const Byte *at, std::size_t available)
{
    if (available < 4 || at[0] != 0xFF || (at[1] & 0xE0) != 0xE0)
        return std::nullopt;
    Header header;
    header.version = (at[1] >> 3) & 3;
    const int layerBits = (at[1] >> 1) & 3;
    header.hasCrc = (at[1] & 1) == 0;
    header.bitRateIndex = at[2] >> 4;
    header.rateIndex = (at[2] >> 2) & 3;
    const bool padding = (at[2] >> 1) & 1;
    header.mono = (at[3] >> 6) == 3;
    if (header.version == 1 || layerBits == 0 || header.bitRateIndex == 15 || header.rateIndex == 3)
        return std::nullopt;
    header.layer = 4 - layerBits;
    const int divisor = header.version == 3 ? 1 : header.version == 2 ? 2 : 4;
    const int sampleRate = mpeg1Rates[std::size_t(header.rateIndex)] / divisor;
    if (header.bitRateIndex == 0)
        return header;
    const auto index = std::size_t(header.bitRateIndex);
    if (header.layer == 1) {
        const int kbps = (header.mpeg1() ? mpeg1Layer1 : mpeg2Layer1)[index];
        header.length = std::size_t((12 * kbps * 1000 / sampleRate + (padding ? 1 : 0)) * 4);
    } else {
        const int kbps = header.mpeg1() ? (header.layer == 2 ? mpeg1Layer2 : mpeg1Layer3)[index]
                                        : mpeg2Layer23[index];
        const int perFrame = header.layer == 3 && !header.mpeg1() ? 72 : 144;
        header.length = std::size_t(perFrame * kbps * 1000 / sampleRate + (padding ? 1 : 0));
    }
    return header;
}

// A frame of the stream's kind, whole, followed by the stream's end or another.
bool isFrameAt(const std::string &data, std::size_t at, const Header &stream)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const std::optional<Header> header = readHeader(bytes + at, data.size() - at);
    if (!header || !header->sameStreamAs(stream) || header->length == 0 ||
        at + header->length > data.size())
        return false;
    const std::size_t next = at + header->length;
    if (next == data.size())
        return true;
    const std::optional<Header> following = readHeader(bytes + next, data.size() - next);
    return following && following->sameStreamAs(stream);
}

// Where a frame may begin next: its sync word starts with a byte of all ones. Junk between
// frames, megabytes of it in a damaged file, is passed over at memory speed.
std::size_t nextSync(const std::string &data, std::size_t from)
{
    const std::size_t found = data.find('\xFF', from);
    return found == std::string::npos ? data.size() : found;
}

std::size_t id3v2Size(const std::string &data)
{
    if (data.size() < 10 || data.compare(0, 3, "ID3") != 0)
        return 0;
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (bytes[i] & 0x7F);
    const bool footer = (bytes[5] & 0x10) != 0;
    return std::min(data.size(), size + 10 + (footer ? 10 : 0));
}

// The frame checksum: CRC-16 with polynomial 0x8005, starting from all ones.
std::uint16_t frameCrc(const Byte *header, const Byte *sideInfo, std::size_t sideInfoSize)
{
    std::uint16_t crc = 0xFFFF;
    const auto add = [&](Byte byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) & 1) != ((byte >> bit) & 1);
            crc = std::uint16_t(crc << 1);
            if (top)
                crc ^= 0x8005;
        }
    };
    add(header[2]);
    add(header[3]);
    for (std::size_t i = 0; i < sideInfoSize; ++i)
        add(sideInfo[i]);
    return crc;
}

// The information frame's checksums: CRC-16 with the reflected polynomial, starting at 0.
std::uint16_t tagCrc(const Byte *bytes, std::size_t size)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

int readBits(const Byte *bytes, std::size_t bit, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i, ++bit)
        value = (value << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
    return value;
}

void writeBits(Byte *bytes, std::size_t bit, int count, int value)
{
    for (int i = count - 1; i >= 0; --i, ++bit) {
        const Byte mask = Byte(1 << (7 - bit % 8));
        bytes[bit / 8] = Byte(((value >> i) & 1) ? bytes[bit / 8] | mask : bytes[bit / 8] & ~mask);
    }
}

// Where each granule's global gain sits in the side information, in bits.
std::vector<std::size_t> globalGainBits(const Header &header)
{
    const int channels = header.mono ? 1 : 2;
    std::vector<std::size_t> bits;
    if (header.mpeg1()) {
        const std::size_t first = 9 + (header.mono ? 5 : 3) + 4 * std::size_t(channels);
        for (int granule = 0; granule < 2 * channels; ++granule)
            bits.push_back(first + std::size_t(granule) * 59 + 21);
    } else {
        const std::size_t first = 8 + (header.mono ? 1 : 2);
        for (int channel = 0; channel < channels; ++channel)
            bits.push_back(first + std::size_t(channel) * 63 + 21);
    }
    return bits;
}

struct Frame
{
    std::size_t at;
    Header header;
};

// The encoder's information frame at the start, where there is one, and its encoder tag.
struct InfoFrame
{
    std::size_t at = 0;
    std::size_t length = 0;
    std::size_t tagAt = 0; // of the encoder tag inside the data; 0 where it has none
};

constexpr std::size_t encoderTagSize = 36;

std::optional<InfoFrame> infoFrame(const std::string &data, const Frame &frame)
{
    const std::size_t end = frame.at + frame.header.length;
    InfoFrame info{frame.at, frame.header.length, 0};
    if (frame.at + 40 <= end && data.compare(frame.at + 36, 4, "VBRI") == 0)
        return info;
    const auto isXing = [&](std::size_t at) {
        return at + 8 <= end &&
               (data.compare(at, 4, "Xing") == 0 || data.compare(at, 4, "Info") == 0);
    };
    // Encoders put it after the side information, some counting a checksum before it and
    // some not.
    std::size_t xingAt = frame.at + 4 + frame.header.sideInfoSize();
    if (!isXing(xingAt)) {
        xingAt += 2;
        if (!frame.header.hasCrc || !isXing(xingAt))
            return std::nullopt;
    }
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const int flags = bytes[xingAt + 7];
    std::size_t tagAt = xingAt + 8;
    tagAt +=
        (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    // A tag is taken for the encoder's where its own checksum says so.
    if (tagAt + encoderTagSize <= end) {
        const std::uint16_t stored = std::uint16_t(bytes[tagAt + 34] << 8 | bytes[tagAt + 35]);
        if (tagCrc(bytes + frame.at, tagAt + 34 - frame.at) == stored)
            info.tagAt = tagAt;
    }
    return info;
}

struct Stream
{
    std::vector<Frame> frames; // the audio frames, without the information frame
    std::optional<InfoFrame> info;
};

std::variant<Stream, Mp3Gain::Refusal> findFrames(const std::string &data)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const std::size_t start = id3v2Size(data);
    std::size_t at = start;
    std::optional<Header> stream;
    for (; at + 4 <= data.size(); at = nextSync(data, at + 1)) {
        const std::optional<Header> header = readHeader(bytes + at, data.size() - at);
        if (!header)
            continue;
        // Free format frames have no length to check a frame by: one where the music
        // starts is taken at its word.
        if (header->bitRateIndex == 0 && header->layer == 3 && at == start)
            return Mp3Gain::Refusal::FreeFormat;
        if (isFrameAt(data, at, *header)) {
            stream = header;
            break;
        }
    }
    if (!stream)
        return Mp3Gain::Refusal::NoFrames;
    if (stream->layer != 3)
        return Mp3Gain::Refusal::OtherLayer;
    Stream found;
    while (at + 4 <= data.size()) {
        if (!isFrameAt(data, at, *stream)) {
            at = nextSync(data, at + 1);
            continue;
        }
        const Header header = *readHeader(bytes + at, data.size() - at);
        Frame frame{at, header};
        if (found.frames.empty() && !found.info)
            found.info = infoFrame(data, frame);
        if (!found.info || found.info->at != at)
            found.frames.push_back(frame);
        at += header.length;
    }
    if (found.frames.empty())
        return Mp3Gain::Refusal::NoFrames;
    return found;
}

} // namespace

std::optional<Mp3Gain::Refusal> Mp3Gain::refusal(const std::string &mp3)
{
    const auto found = findFrames(mp3);
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    return std::nullopt;
}

std::variant<int, Mp3Gain::Refusal> Mp3Gain::apply(std::string &mp3, int steps)
{
    auto found = findFrames(mp3);
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    const Stream &stream = std::get<Stream>(found);
    auto *bytes = reinterpret_cast<Byte *>(mp3.data());

    // Every granule moves alike or the balance between them would change: the steps stop
    // where the first granule's gain would leave 0..255.
    int lowest = 255;
    int highest = 0;
    for (const Frame &frame : stream.frames) {
        const Byte *sideInfo = bytes + frame.at + frame.header.sideInfoAt();
        for (const std::size_t bit : globalGainBits(frame.header)) {
            const int gain = readBits(sideInfo, bit, 8);
            lowest = std::min(lowest, gain);
            highest = std::max(highest, gain);
        }
    }
    steps = std::clamp(steps, -lowest, 255 - highest);
    if (steps == 0)
        return 0;

    for (const Frame &frame : stream.frames) {
        Byte *sideInfo = bytes + frame.at + frame.header.sideInfoAt();
        for (const std::size_t bit : globalGainBits(frame.header))
            writeBits(sideInfo, bit, 8, readBits(sideInfo, bit, 8) + steps);
        if (frame.header.hasCrc) {
            const std::uint16_t crc =
                frameCrc(bytes + frame.at, sideInfo, frame.header.sideInfoSize());
            bytes[frame.at + 4] = Byte(crc >> 8);
            bytes[frame.at + 5] = Byte(crc & 0xFF);
        }
    }

    if (stream.info && stream.info->tagAt != 0) {
        Byte *tag = bytes + stream.info->tagAt;
        // Peak and both replay gains described the music before; they are unknown now.
        std::memset(tag + 11, 0, 8);
        const std::size_t musicLength = std::size_t(tag[28]) << 24 | std::size_t(tag[29]) << 16 |
                                        std::size_t(tag[30]) << 8 | std::size_t(tag[31]);
        const std::size_t musicFrom = stream.info->at + stream.info->length;
        const Frame &last = stream.frames.back();
        std::size_t musicTo = last.at + last.header.length;
        if (musicLength > stream.info->length && stream.info->at + musicLength <= mp3.size())
            musicTo = stream.info->at + musicLength;
        if (musicTo > musicFrom) {
            const std::uint16_t music = tagCrc(bytes + musicFrom, musicTo - musicFrom);
            tag[32] = Byte(music >> 8);
            tag[33] = Byte(music & 0xFF);
        }
        const std::uint16_t crc =
            tagCrc(bytes + stream.info->at, stream.info->tagAt + 34 - stream.info->at);
        tag[34] = Byte(crc >> 8);
        tag[35] = Byte(crc & 0xFF);
    }
    return steps;
}

} // namespace core
