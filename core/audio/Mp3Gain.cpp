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

// A frame of the stream's kind, whole before end, followed by end or another.
bool isFrameAt(const std::string &data, std::size_t at, std::size_t end, const Header &stream)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const std::optional<Header> header = readHeader(bytes + at, end - at);
    if (!header || !header->sameStreamAs(stream) || header->length == 0 ||
        at + header->length > end)
        return false;
    const std::size_t next = at + header->length;
    if (next == end)
        return true;
    const std::optional<Header> following = readHeader(bytes + next, end - next);
    return following && following->sameStreamAs(stream);
}

// Where a frame may begin next: its sync word starts with a byte of all ones. Junk between
// frames, megabytes of it in a damaged file, is passed over at memory speed.
std::size_t nextSync(const std::string &data, std::size_t from, std::size_t end)
{
    const std::size_t found = data.find('\xFF', from);
    return found == std::string::npos || found > end ? end : found;
}

std::uint32_t littleEndian32(const Byte *at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

// A size of four bytes of seven bits each, as ID3v2 writes it; nullopt where a byte has its
// top bit set, which no tag has.
std::optional<std::size_t> syncsafe(const Byte *at)
{
    std::size_t size = 0;
    for (int i = 0; i < 4; ++i) {
        if (at[i] & 0x80)
            return std::nullopt;
        size = (size << 7) | at[i];
    }
    return size;
}

// The whole length of an ID3v2 tag whose header starts at at, its footer too; nullopt where
// none starts there.
std::optional<std::size_t> id3v2Length(const std::string &data, std::size_t at, std::size_t end)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    if (at + 10 > end || data.compare(at, 3, "ID3") != 0 || bytes[at + 3] == 0xFF)
        return std::nullopt;
    const std::optional<std::size_t> size = syncsafe(bytes + at + 6);
    if (!size)
        return std::nullopt;
    const bool footer = (bytes[at + 5] & 0x10) != 0;
    return *size + 10 + (footer ? 10 : 0);
}

// The length of an ID3v2 tag or an APEv2 tag with its header starting at at, 0 where none
// starts there.
std::size_t tagLengthAt(const std::string &data, std::size_t at, std::size_t end)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    if (const std::optional<std::size_t> length = id3v2Length(data, at, end))
        return std::min(end - at, *length);
    if (at + 32 <= end && data.compare(at, 8, "APETAGEX") == 0)
        return std::min(end - at, std::size_t(littleEndian32(bytes + at + 12)) + 32);
    return 0;
}

// The length of the tag that ends at end, 0 where none does: ID3v1, an APEv2 footer,
// Lyrics3v2 or an ID3v2 tag with its footer.
std::size_t trailingTagLength(const std::string &data, std::size_t start, std::size_t end)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const std::size_t room = end - start;
    if (room >= 128 && data.compare(end - 128, 3, "TAG") == 0)
        return 128;
    if (room >= 32 && data.compare(end - 32, 8, "APETAGEX") == 0) {
        const std::size_t size = littleEndian32(bytes + end - 20);
        const bool header = (littleEndian32(bytes + end - 12) & 0x80000000u) != 0;
        const std::size_t length = size + (header ? 32 : 0);
        return size >= 32 && length <= room ? length : 0;
    }
    if (room >= 15 && data.compare(end - 9, 9, "LYRICS200") == 0) {
        std::size_t size = 0;
        for (std::size_t i = end - 15; i < end - 9; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9')
                return 0;
            size = size * 10 + (bytes[i] - '0');
        }
        return size + 15 <= room ? size + 15 : 0;
    }
    if (room >= 20 && data.compare(end - 10, 3, "3DI") == 0) {
        const std::optional<std::size_t> size = syncsafe(bytes + end - 4);
        return size && *size + 20 <= room ? *size + 20 : 0;
    }
    return 0;
}

// Where the audio ends: before the tags at the file's end, however many.
std::size_t audioEnd(const std::string &data, std::size_t start)
{
    std::size_t end = data.size();
    while (const std::size_t length = trailingTagLength(data, start, end))
        end -= length;
    return end;
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

// Where each granule's global gain sits in the side information, in bits; its
// part2_3_length, the bits of its coded values, starts 21 bits before.
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

// A granule without coded values decodes to silence at any gain.
bool isSilent(const Byte *sideInfo, std::size_t gainBit)
{
    return readBits(sideInfo, gainBit - 21, 12) == 0;
}

struct Frame
{
    std::size_t at;
    Header header;
};

// The encoder's information frame at the start, where there is one, and its encoder tag.
struct InfoFrame
{
    enum class TagCrc {
        UpToField, // LAME: the frame's bytes before the checksum
        First190,  // FFmpeg: 190 bytes, zeros past the frame, the checksum's own as zeros
    };
    std::size_t at = 0;
    std::size_t length = 0;
    std::size_t tagAt = 0; // of the encoder tag inside the data; 0 where it has none
    TagCrc tagCrc = TagCrc::UpToField;
    std::optional<std::uint32_t> frames; // the count of frames, where it gives one
    bool afterCrc = false;               // written after the frame's checksum

    // The encoder's delay and padding at the stream's ends, in sample frames, where the tag
    // is of an encoder whose figures a demuxer takes.
    std::optional<std::pair<int, int>> delays(const std::string &data) const
    {
        const bool taken = tagAt != 0 && (data.compare(tagAt, 4, "LAME") == 0 ||
                                          data.compare(tagAt, 4, "Lavf") == 0 ||
                                          data.compare(tagAt, 4, "Lavc") == 0);
        if (!taken)
            return std::nullopt;
        const auto *bytes = reinterpret_cast<const Byte *>(data.data()) + tagAt + 21;
        return std::pair{bytes[0] << 4 | bytes[1] >> 4, (bytes[1] & 0x0F) << 8 | bytes[2]};
    }
};

constexpr std::size_t encoderTagSize = 36;
constexpr std::size_t ffmpegTagCrcBytes = 190;

std::uint16_t encoderTagCrc(const std::string &data, const InfoFrame &info)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    if (info.tagCrc == InfoFrame::TagCrc::UpToField)
        return tagCrc(bytes + info.at, info.tagAt + 34 - info.at);
    std::array<Byte, ffmpegTagCrcBytes> first{};
    std::memcpy(first.data(), bytes + info.at, std::min(info.length, first.size()));
    for (const std::size_t field : {info.tagAt + 34, info.tagAt + 35}) {
        if (field - info.at < first.size())
            first[field - info.at] = 0;
    }
    return tagCrc(first.data(), first.size());
}

// The encoders known to write the tag whose fields this brings up to date.
bool isKnownEncoder(const std::string &data, std::size_t tagAt)
{
    for (const char *name : {"LAME", "Lavc", "Lavf", "L3.99"}) {
        if (data.compare(tagAt, std::strlen(name), name) == 0)
            return true;
    }
    return false;
}

std::optional<InfoFrame> infoFrame(const std::string &data, const Frame &frame)
{
    const std::size_t end = frame.at + frame.header.length;
    InfoFrame info;
    info.at = frame.at;
    info.length = frame.header.length;
    if (end > data.size())
        return std::nullopt;
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
        info.afterCrc = true;
    }
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const int flags = bytes[xingAt + 7];
    if ((flags & 1) && xingAt + 12 <= end)
        info.frames = std::uint32_t(bytes[xingAt + 8]) << 24 | bytes[xingAt + 9] << 16 |
                      bytes[xingAt + 10] << 8 | bytes[xingAt + 11];
    std::size_t tagAt = xingAt + 8;
    tagAt +=
        (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (tagAt + encoderTagSize > end)
        return info;
    // A tag is the encoder's where either encoder's checksum says so, or where its place
    // holds a known encoder's name: the checksum of FFmpeg's tag covers bytes past a small
    // frame.
    info.tagAt = tagAt;
    const std::uint16_t stored = std::uint16_t(bytes[tagAt + 34] << 8 | bytes[tagAt + 35]);
    if (encoderTagCrc(data, info) == stored)
        return info;
    info.tagCrc = InfoFrame::TagCrc::First190;
    if (encoderTagCrc(data, info) == stored)
        return info;
    if (!isKnownEncoder(data, tagAt))
        info.tagAt = 0;
    else if (data.compare(tagAt, 4, "LAME") == 0)
        info.tagCrc = InfoFrame::TagCrc::UpToField;
    return info;
}

// One stream of frames alike in version, layer and rate, from its information frame on.
struct Stream
{
    Header kind;
    std::vector<Frame> frames; // the audio frames, without the information frame
    std::optional<InfoFrame> info;
};

// Whether the frame's side information, and with it every global gain, lies before end.
bool sideInfoWhole(const Frame &frame, std::size_t end)
{
    return frame.at + frame.header.sideInfoAt() + frame.header.sideInfoSize() <= end;
}

// Where the music starts: after every ID3v2 tag before it.
std::size_t audioStart(const std::string &data)
{
    std::size_t at = 0;
    while (const std::size_t length = tagLengthAt(data, at, data.size()))
        at += length;
    return at;
}

// Adds the frame to the last stream, or starts a stream with it where it is of another kind
// or an information frame, which begins each file that was joined to another.
void addFrame(std::vector<Stream> &streams, const std::string &data, const Frame &frame)
{
    std::optional<InfoFrame> info = infoFrame(data, frame);
    if (streams.empty() || info || !frame.header.sameStreamAs(streams.back().kind)) {
        streams.push_back({frame.header, {}, info});
        if (info)
            return;
    }
    streams.back().frames.push_back(frame);
}

std::variant<std::vector<Stream>, Mp3Gain::Refusal> findFrames(const std::string &data)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    const std::size_t start = audioStart(data);
    const std::size_t end = audioEnd(data, start);
    std::vector<Stream> streams;
    // Whether at is where a frame ended: a frame there of its stream is taken without one
    // after it, as a decoder plays it, the last one even cut short where its side
    // information is whole.
    bool chained = false;
    std::size_t at = start;
    while (at + 4 <= end) {
        const std::optional<Header> header = readHeader(bytes + at, end - at);
        if (chained && header && header->length != 0 && header->sameStreamAs(streams.back().kind)) {
            const Frame frame{at, *header};
            if (at + header->length <= end || sideInfoWhole(frame, end)) {
                addFrame(streams, data, frame);
                at = std::min(end, at + header->length);
                continue;
            }
        }
        chained = false;
        // Frame-like bytes inside a tag, a picture holding MP3 data, are no frames.
        if (const std::size_t tag = tagLengthAt(data, at, end)) {
            at += tag;
            continue;
        }
        // Free format frames have no length to check a frame by: one where the music
        // starts is taken at its word.
        if (header && header->bitRateIndex == 0 && header->layer == 3 && at == start)
            return Mp3Gain::Refusal::FreeFormat;
        if (header && isFrameAt(data, at, end, *header)) {
            // Another layer in the file would be left at its level: none is changed.
            if (header->layer != 3)
                return Mp3Gain::Refusal::OtherLayer;
            addFrame(streams, data, {at, *header});
            at += header->length;
            chained = true;
            continue;
        }
        at = nextSync(data, at + 1, end);
    }
    const bool anyFrame = std::any_of(streams.begin(), streams.end(),
                                      [](const Stream &stream) { return !stream.frames.empty(); });
    if (!anyFrame)
        return Mp3Gain::Refusal::NoFrames;
    return streams;
}

// The steps every granule with coded values can take without its gain leaving 0..255: every
// granule moves alike or the balance between them would change. 0 where none has any.
int possibleSteps(const std::string &data, const std::vector<Stream> &streams, int steps)
{
    const auto *bytes = reinterpret_cast<const Byte *>(data.data());
    int lowest = 255;
    int highest = 0;
    bool coded = false;
    for (const Stream &stream : streams) {
        for (const Frame &frame : stream.frames) {
            const Byte *sideInfo = bytes + frame.at + frame.header.sideInfoAt();
            for (const std::size_t bit : globalGainBits(frame.header)) {
                if (isSilent(sideInfo, bit))
                    continue;
                const int gain = readBits(sideInfo, bit, 8);
                lowest = std::min(lowest, gain);
                highest = std::max(highest, gain);
                coded = true;
            }
        }
    }
    return coded ? std::clamp(steps, -lowest, 255 - highest) : 0;
}

void moveGains(std::string &data, const Stream &stream, int steps)
{
    auto *bytes = reinterpret_cast<Byte *>(data.data());
    for (const Frame &frame : stream.frames) {
        Byte *sideInfo = bytes + frame.at + frame.header.sideInfoAt();
        for (const std::size_t bit : globalGainBits(frame.header)) {
            if (!isSilent(sideInfo, bit))
                writeBits(sideInfo, bit, 8, readBits(sideInfo, bit, 8) + steps);
        }
        if (frame.header.hasCrc) {
            const std::uint16_t crc =
                frameCrc(bytes + frame.at, sideInfo, frame.header.sideInfoSize());
            bytes[frame.at + 4] = Byte(crc >> 8);
            bytes[frame.at + 5] = Byte(crc & 0xFF);
        }
    }
}

// The encoder tag's peak and replay gains described the music before: they are unknown now.
// Its checksums are made again, each as its encoder made it.
void updateEncoderTag(std::string &data, const Stream &stream)
{
    if (!stream.info || stream.info->tagAt == 0)
        return;
    const InfoFrame &info = *stream.info;
    auto *bytes = reinterpret_cast<Byte *>(data.data());
    Byte *tag = bytes + info.tagAt;
    std::memset(tag + 11, 0, 8);
    const std::size_t musicLength = std::size_t(tag[28]) << 24 | std::size_t(tag[29]) << 16 |
                                    std::size_t(tag[30]) << 8 | std::size_t(tag[31]);
    const std::size_t musicFrom = info.at + info.length;
    std::size_t musicTo = musicFrom;
    if (!stream.frames.empty()) {
        const Frame &last = stream.frames.back();
        musicTo = std::min(data.size(), last.at + last.header.length);
    }
    if (musicLength > info.length && info.at + musicLength <= data.size())
        musicTo = info.at + musicLength;
    if (musicTo > musicFrom) {
        const std::uint16_t music = tagCrc(bytes + musicFrom, musicTo - musicFrom);
        tag[32] = Byte(music >> 8);
        tag[33] = Byte(music & 0xFF);
    }
    const std::uint16_t crc = encoderTagCrc(data, info);
    tag[34] = Byte(crc >> 8);
    tag[35] = Byte(crc & 0xFF);
}

} // namespace

std::optional<Mp3Gain::Refusal> Mp3Gain::refusal(const std::string &mp3)
{
    const auto found = findFrames(mp3);
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    return std::nullopt;
}

void Mp3Gain::removeInformationFrames(std::string &mp3)
{
    const auto found = findFrames(mp3);
    const auto *streams = std::get_if<std::vector<Stream>>(&found);
    if (!streams)
        return;
    for (auto stream = streams->rbegin(); stream != streams->rend(); ++stream) {
        if (stream->info)
            mp3.erase(stream->info->at, stream->info->length);
    }
}

std::variant<int, Mp3Gain::Refusal> Mp3Gain::applicable(const std::string &mp3, int steps)
{
    const auto found = findFrames(mp3);
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    return possibleSteps(mp3, std::get<std::vector<Stream>>(found), steps);
}

std::variant<int, Mp3Gain::Refusal> Mp3Gain::apply(std::string &mp3, int steps)
{
    const auto found = findFrames(mp3);
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    const auto &streams = std::get<std::vector<Stream>>(found);
    steps = possibleSteps(mp3, streams, steps);
    if (steps == 0)
        return 0;
    for (const Stream &stream : streams) {
        moveGains(mp3, stream, steps);
        updateEncoderTag(mp3, stream);
    }
    return steps;
}

std::optional<Mp3Gain::Length> Mp3Gain::length(const ReadBytes &read)
{
    // Past this many tags the stated length stands.
    constexpr int mostLeadingTags = 16;
    std::int64_t at = 0;
    for (int tags = 0; tags < mostLeadingTags; ++tags) {
        const std::string header = read(at, 10);
        const std::optional<std::size_t> tag = id3v2Length(header, 0, header.size());
        if (!tag)
            break;
        at += std::int64_t(*tag);
    }
    const std::string start = read(at, 4);
    const std::optional<Header> header =
        readHeader(reinterpret_cast<const Byte *>(start.data()), start.size());
    if (!header || header->layer != 3)
        return std::nullopt;
    const std::string frame = read(at, header->length);
    const std::optional<InfoFrame> info = infoFrame(frame, {0, *header});
    if (!info || !info->frames || info->afterCrc)
        return std::nullopt;
    const std::int64_t coded = std::int64_t(*info->frames) * (header->mpeg1() ? 1152 : 576);
    const auto delays = info->delays(frame);
    if (!delays)
        return Length{coded, coded};
    // The demuxer drops the delay and the decoder's own 529 frames at the start, and at the
    // end the padding less those 529, within what the frames hold.
    constexpr int decoderDelay = 529;
    const std::int64_t end = std::min(coded, coded - delays->second + decoderDelay);
    const std::int64_t begin = std::min<std::int64_t>(coded, delays->first + decoderDelay);
    return Length{coded, std::max<std::int64_t>(0, end - begin)};
}

} // namespace core
