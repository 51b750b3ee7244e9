#include "support/MidiBytes.h"

#include "platform/Notifier.h"
#include "song/Song.h"
#include "song/SongDump.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace sorvanel::test {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

std::string replacePath(std::string text)
{
    text.replace(text.find("%s"), 2, testPath);
    return text;
}

} // namespace

Bytes hex(std::string_view text)
{
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '|' || c == '\n')
            continue;
        int value = hexValue(c);
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return bytes;
}

Bytes text(std::string_view characters)
{
    return Bytes(characters.begin(), characters.end());
}

Bytes be16(std::uint16_t value)
{
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

Bytes be32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

Bytes le32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes varLen(std::uint32_t value)
{
    Bytes bytes{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return bytes;
}

Bytes operator+(Bytes left, const Bytes& right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

Bytes chunkWithLength(std::string_view id, std::uint32_t length, const Bytes& body)
{
    return text(id) + be32(length) + body;
}

Bytes chunk(std::string_view id, const Bytes& body)
{
    return chunkWithLength(id, static_cast<std::uint32_t>(body.size()), body);
}

Bytes header(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division)
{
    return chunk("MThd", be16(format) + be16(trackCount) + be16(division));
}

Bytes endOfTrack()
{
    return hex("00 FF 2F 00");
}

Bytes track(const Bytes& events, bool withEnd)
{
    return chunk("MTrk", withEnd ? events + endOfTrack() : events);
}

Bytes smf(std::initializer_list<Bytes> tracks, int format, std::uint16_t division)
{
    if (format < 0)
        format = tracks.size() == 1 ? 0 : 1;
    Bytes bytes = header(
        static_cast<std::uint16_t>(format), static_cast<std::uint16_t>(tracks.size()), division);
    for (const Bytes& one : tracks)
        bytes = bytes + one;
    return bytes;
}

Bytes riff(const Bytes& image, std::int64_t dataSize)
{
    auto size = static_cast<std::uint32_t>(
        dataSize < 0 ? static_cast<std::int64_t>(image.size()) : dataSize);
    return text("RIFF") + le32(static_cast<std::uint32_t>(image.size() + 12)) + text("RMIDdata")
        + le32(size) + image;
}

std::string toHex(const Bytes& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

ReadResult readSong(Song& song, Bytes& image)
{
    RecordingNotifier notifier;
    MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), testPath);
    ReadResult result;
    result.accepted = song.read(buffer, notifier);
    result.messages = notifier.texts;
    return result;
}

std::string invalidFileMessage()
{
    return replacePath(invalidFileText);
}

std::string invalidTrackMessage()
{
    return replacePath(invalidTrackText);
}

Bytes encode(Song& song)
{
    Bytes block(static_cast<std::size_t>(song.encodedSize()));
    RecordingNotifier notifier;
    MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), testPath);
    EXPECT_TRUE(song.write(buffer, notifier));
    EXPECT_EQ(buffer.remaining(), 0) << "the encoding left bytes of the block unused";
    EXPECT_TRUE(notifier.texts.empty());
    return block;
}

std::string dump(const Song& song)
{
    std::string out;
    for (const std::string& line : dumpSong(song))
        out += line + '\n';
    return out;
}

} // namespace sorvanel::test
