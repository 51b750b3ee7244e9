#pragma once

// The bytes of a song file, inside the song library: chunk headers, the event codec over raw
// pointers and the track loop that the model's reader and the passes that store no events
// share. Everything is inline, so each loop gets the decoder with its pointers in registers.

#include "song/MidiBuffer.h"
#include "song/Song.h"

#include <cctype>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace sorvanel::codec {

inline constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
/// "MThd", its length and the six bytes of format, track count and division.
inline constexpr std::size_t songHeaderSize = 14;
/// A chunk's id and length.
inline constexpr std::int32_t chunkHeaderSize = 8;
/// The longest event `putEvent<true>` writes (12 bytes) and the room it needs for it.
inline constexpr std::ptrdiff_t roomyEventSize = 16;

inline bool sameId(const char* id, std::string_view expected)
{
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(id[i]))
            != std::tolower(static_cast<unsigned char>(expected[i])))
            return false;
    }
    return id[expected.size()] == '\0';
}

inline std::string withPath(const char* text, const std::string& path)
{
    std::string message = text;
    message.replace(message.find("%s"), 2, path);
    return message;
}

/// Reads a chunk's id and length; a RIFF container around the file is stepped into on the
/// way. The caller checks `overflow`.
inline void readChunkHeader(MidiBuffer& buffer, char (&chunkId)[5], std::int32_t& chunkLength)
{
    buffer.readChars(chunkId, 4);
    chunkLength = static_cast<std::int32_t>(buffer.readLong());
    if (!sameId(chunkId, "RIFF"))
        return;
    // The form type and the data chunk's id say nothing we need.
    char ignored[9];
    buffer.readChars(ignored, 8);
    std::uint8_t size[4] = {};
    buffer.readRaw(size, 4);
    auto dataSize = static_cast<std::int32_t>(std::uint32_t{size[0]} | std::uint32_t{size[1]} << 8
        | std::uint32_t{size[2]} << 16 | std::uint32_t{size[3]} << 24);
    if (!buffer.overflow() && dataSize < buffer.remaining())
        buffer.limitRemaining(dataSize);
    buffer.readChars(chunkId, 4);
    chunkLength = static_cast<std::int32_t>(buffer.readLong());
}

inline void writeChunkHeader(MidiBuffer& buffer, const char* chunkId, std::int32_t chunkLength)
{
    buffer.writeChars(chunkId, 4);
    buffer.writeLong(static_cast<std::uint32_t>(chunkLength));
}

inline std::int32_t saturate(std::int64_t size)
{
    return size > int32Max ? int32Max : static_cast<std::int32_t>(size);
}

/// A variable-length quantity at `p`, before `end`, as `MidiBuffer::readVarLen` reads it;
/// false when the block ends inside it.
inline bool readVarLen(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value)
{
    std::uint32_t v = 0;
    for (;;) {
        if (p == end)
            return false;
        std::uint8_t byte = *p++;
        v = v << 7 | (byte & 0x7Fu);
        if ((byte & 0x80) == 0)
            break;
    }
    value = v;
    return true;
}

/// The decoder of `MidiEvent::decode` over raw pointers, kept here so the track reader's loop
/// gets it inline with `p` and `end` in registers. Decodes into a zero event and moves `p`
/// past it; false when the block ends inside the event. `endOfTrack` tells whether it was
/// the End-of-Track event, from what is still in registers: reading the status and meta
/// type back from the event as one word would wait for their separate stores every event.
inline bool decodeEvent(MidiEvent& event, const std::uint8_t*& p, const std::uint8_t* end,
    std::uint8_t& runningStatus, const std::uint8_t* image, bool& endOfTrack)
{
    std::uint32_t delta = 0;
    if (!readVarLen(p, end, delta) || p == end)
        return false;
    event.delta = static_cast<std::int32_t>(delta);
    std::uint8_t status = *p;
    if (status < 0x80 && runningStatus >= 0x80) {
        status = runningStatus;
    } else {
        ++p;
        runningStatus = status;
    }
    event.status = status;

    std::uint32_t n = 0;
    if (status >= 0x80 && status <= 0xEF) {
        n = (status & 0xE0) == 0xC0 ? 1 : 2;
    } else if (status == 0xFF) {
        if (p == end)
            return false;
        const std::uint8_t metaType = *p++;
        event.metaType = metaType;
        if (!readVarLen(p, end, n))
            return false;
        endOfTrack = metaType == endOfTrackMetaType && n == 0;
    } else if (status == 0xF0 || status == 0xF7) {
        if (!readVarLen(p, end, n))
            return false;
    } else {
        return true;
    }
    // A length with its top bit set counts as more than any block holds.
    if (n > static_cast<std::uint32_t>(end - p))
        return false;
    const auto length = static_cast<std::int32_t>(n);
    event.length = length;
    switch (length) {
    case 4:
        event.inlineData[3] = p[3];
        [[fallthrough]];
    case 3:
        event.inlineData[2] = p[2];
        [[fallthrough]];
    case 2:
        event.inlineData[1] = p[1];
        [[fallthrough]];
    case 1:
        event.inlineData[0] = p[0];
        [[fallthrough]];
    case 0:
        break;
    default:
        event.dataOffset = static_cast<std::uint32_t>(p - image);
    }
    p += n;
    return true;
}

/// Writes `event` at `out` with its status byte and shortest quantities; returns the address
/// after it. `out` has room for `encodedSize()` bytes, or for `roomyEventSize` when `roomy`, which
/// lets the data of a short event be copied as one word.
template <bool roomy>
inline std::uint8_t* putEvent(const MidiEvent& event, std::uint8_t* out, const std::uint8_t* image)
{
    out = MidiBuffer::putVarLen(out, event.delta);
    *out++ = event.status;
    if (event.status >= 0x80 && event.status <= 0xEF) {
        // data as it stands
    } else if (event.status == 0xFF) {
        *out++ = event.metaType;
        out = MidiBuffer::putVarLen(out, event.length);
    } else if (event.status == 0xF0 || event.status == 0xF7) {
        out = MidiBuffer::putVarLen(out, event.length);
    } else {
        return out;
    }
    const auto length = static_cast<std::size_t>(event.length);
    if (roomy) {
        std::memcpy(out, event.inlineData, sizeof event.inlineData);
    } else if (length > 4) {
        std::memcpy(out, image + event.dataOffset, length);
    } else {
        for (std::size_t i = 0; i < length; ++i)
            out[i] = event.inlineData[i];
    }
    return out + length;
}

/// Whether `event` may go through `putEvent<true>` at `out`, before `end`: its data is inline
/// and the longest such event fits.
inline bool roomyFor(const MidiEvent& event, const std::uint8_t* out, const std::uint8_t* end)
{
    return end - out >= roomyEventSize && static_cast<std::uint32_t>(event.length) <= 4;
}

/// Reads a track chunk (header and events), handing each event to `sink`: `slot(consumed)`
/// gives the zero event to decode into (`consumed` bytes of the chunk read so far), `drop()`
/// takes back a slot whose event was cut off, `keep(event)` sees each complete event. True
/// when the chunk is a valid track; the caller shows the message otherwise.
template <class Sink>
bool readTrackChunk(MidiBuffer& buffer, char (&chunkId)[5], std::int32_t& chunkLength,
    const std::uint8_t* image, Sink& sink)
{
    readChunkHeader(buffer, chunkId, chunkLength);
    if (buffer.overflow() || !sameId(chunkId, "MTrk") || chunkLength > buffer.remaining())
        return false;

    const std::uint8_t* const start = buffer.cursor();
    const std::uint8_t* const end = start + buffer.remaining();
    const std::uint8_t* p = start;
    std::uint8_t runningStatus = 0;
    while (p != end) {
        MidiEvent& event = sink.slot(p - start);
        bool last = false;
        if (!decodeEvent(event, p, end, runningStatus, image, last)) {
            sink.drop();
            buffer.markOverflow();
            return false;
        }
        sink.keep(event, image);
        if (last) {
            buffer.passTo(p);
            return p - start == chunkLength;
        }
    }
    buffer.passTo(p);
    return false; // no End-of-Track
}

struct SongHeader
{
    char chunkId[5] = {};
    std::int32_t chunkLength = 0;
    std::uint8_t format = 0;
    std::int16_t trackCount = 0;
    std::int16_t division = 0;
};

/// Reads the header chunk; false when it makes the file invalid.
inline bool readSongHeader(MidiBuffer& buffer, SongHeader& header)
{
    readChunkHeader(buffer, header.chunkId, header.chunkLength);
    if (buffer.overflow() || !sameId(header.chunkId, "MThd") || header.chunkLength != 6)
        return false;
    buffer.readByte(); // the format word's high byte carries nothing
    header.format = buffer.readByte();
    header.trackCount = static_cast<std::int16_t>(buffer.readWord());
    header.division = static_cast<std::int16_t>(buffer.readWord());
    if (header.format == 0 && header.trackCount > 1)
        header.trackCount = 1;
    return !buffer.overflow();
}

} // namespace sorvanel::codec
