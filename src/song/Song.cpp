#include "song/Song.h"

#include "platform/Memory.h"
#include "platform/Notifier.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

namespace sorvanel {

namespace {

constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();

bool sameId(const char* id, std::string_view expected)
{
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(id[i]))
            != std::tolower(static_cast<unsigned char>(expected[i])))
            return false;
    }
    return id[expected.size()] == '\0';
}

std::string withPath(const char* text, const std::string& path)
{
    std::string message = text;
    message.replace(message.find("%s"), 2, path);
    return message;
}

/// Reads a chunk's id and length; a RIFF container around the file is stepped into on the
/// way. The caller checks `overflow`.
void readChunkHeader(MidiBuffer& buffer, char (&chunkId)[5], std::int32_t& chunkLength)
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

void writeChunkHeader(MidiBuffer& buffer, const char* chunkId, std::int32_t chunkLength)
{
    buffer.writeChars(chunkId, 4);
    buffer.writeLong(static_cast<std::uint32_t>(chunkLength));
}

std::int32_t saturate(std::int64_t size)
{
    return size > int32Max ? int32Max : static_cast<std::int32_t>(size);
}

bool isEndOfTrack(const MidiEvent& event)
{
    return event.status == 0xFF && event.metaType == 0x2F && event.length == 0;
}

} // namespace

// ---- MidiEvent

void MidiEvent::setData(const std::uint8_t* address, std::int32_t n)
{
    length = n;
    std::memset(inlineData, 0, sizeof inlineData);
    externalData = nullptr;
    if (n > 4) {
        externalData = address;
    } else {
        // A loop rather than memcpy: a call costs more than copying at most four bytes.
        for (std::int32_t i = 0; i < n; ++i)
            inlineData[i] = address[i];
    }
}

namespace {

/// The decoder of `MidiEvent::decode`, kept here so the track reader's loop gets it inline.
inline void decodeEvent(MidiEvent& event, MidiBuffer& buffer, std::uint8_t& runningStatus)
{
    event.delta = buffer.readVarLen();
    std::uint8_t next = buffer.peekByte();
    if (buffer.overflow())
        return;
    if (next < 0x80 && runningStatus >= 0x80) {
        event.status = runningStatus;
    } else {
        event.status = buffer.readByte();
        runningStatus = event.status;
    }

    const std::uint8_t status = event.status;
    std::int32_t n = 0;
    if (status >= 0x80 && status <= 0xEF) {
        n = (status & 0xE0) == 0xC0 ? 1 : 2;
    } else if (status == 0xFF) {
        event.metaType = buffer.readByte();
        n = buffer.readVarLen();
    } else if (status == 0xF0 || status == 0xF7) {
        n = buffer.readVarLen();
    } else {
        return;
    }
    if (const std::uint8_t* data = buffer.take(n))
        event.setData(data, n);
}

} // namespace

void MidiEvent::decode(MidiBuffer& buffer, std::uint8_t& runningStatus)
{
    decodeEvent(*this, buffer, runningStatus);
}

namespace {

/// The encoder of `MidiEvent::encode`, here so the track writer's loop gets it inline.
inline void encodeEvent(const MidiEvent& event, MidiBuffer& buffer)
{
    // One bounds check for the whole event: the block is sized exactly, so this nearly never
    // fails, and when it does nothing of the event is written.
    std::uint8_t* out = buffer.claim(event.encodedSize());
    if (out == nullptr)
        return;
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
        return;
    }
    const std::uint8_t* source = event.data();
    if (event.length > 4) {
        std::memcpy(out, source, static_cast<std::size_t>(event.length));
    } else {
        for (std::int32_t i = 0; i < event.length; ++i)
            out[i] = source[i];
    }
}

} // namespace

void MidiEvent::encode(MidiBuffer& buffer) const
{
    encodeEvent(*this, buffer);
}

// ---- Track

void Track::reserveFor(std::size_t needed)
{
    std::size_t capacity = events.capacity();
    if (needed <= capacity)
        return;
    events.reserve(std::max({needed, capacity + minimumGrowth, capacity * 2}));
    adviseHugePages(events.data(), events.capacity() * sizeof(MidiEvent));
}

bool Track::read(MidiBuffer& buffer, Notifier& notifier)
{
    auto refuse = [&] {
        notifier.notify(withPath(invalidTrackText, buffer.filePath()));
        return false;
    };

    readChunkHeader(buffer, chunkId, chunkLength);
    if (buffer.overflow() || !sameId(chunkId, "MTrk") || chunkLength > buffer.remaining())
        return refuse();

    const std::int32_t start = buffer.remaining();
    MidiBuffer local(buffer.cursor(), buffer.remaining(), {});
    std::uint8_t runningStatus = 0;
    bool ended = false;
    try {
        // Few events take fewer than 3 bytes; a wrong guess only costs one geometric growth.
        if (chunkLength > 0)
            reserveFor(events.size() + static_cast<std::size_t>(chunkLength) / 3 + 1);
        while (local.remaining() > 0) {
            if (events.size() == events.capacity())
                reserveFor(events.size() + 1);
            // Decoded in place: the array has room, so this cannot throw or move anything.
            MidiEvent& event = events.emplace_back();
            decodeEvent(event, local, runningStatus);
            if (local.overflow()) {
                events.pop_back();
                break;
            }
            if (isEndOfTrack(event)) {
                ended = true;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
        return refuse();
    }
    buffer.moveTo(local);
    if (buffer.overflow() || !ended || start - buffer.remaining() != chunkLength)
        return refuse();
    return true;
}

std::int32_t Track::encodedSize() const
{
    std::int64_t size = 8;
    for (const MidiEvent& event : events)
        size += event.encodedSize();
    return saturate(size);
}

bool Track::write(MidiBuffer& buffer, Notifier& notifier) const
{
    auto fail = [&] {
        notifier.notify(bufferTooSmallText);
        return false;
    };

    MidiBuffer header = buffer;
    writeChunkHeader(buffer, "MTrk", 0);
    if (buffer.overflow())
        return fail();
    // A cursor without a path, which the compiler can keep in registers.
    MidiBuffer local(buffer.cursor(), buffer.remaining(), {});
    for (const MidiEvent& event : events) {
        if (local.overflow())
            break;
        encodeEvent(event, local);
    }
    buffer.moveTo(local);
    if (buffer.overflow())
        return fail();
    writeChunkHeader(header, "MTrk", header.remaining() - buffer.remaining() - 8);
    if (header.overflow())
        return fail();
    return true;
}

void Track::insertEvent(const MidiEvent& event, std::size_t index)
{
    reserveFor(events.size() + 1);
    events.insert(events.begin() + static_cast<std::ptrdiff_t>(index), event);
}

void Track::removeEvents(std::size_t index, std::size_t count)
{
    if (index >= events.size())
        return;
    count = std::min(count, events.size() - index);
    auto first = events.begin() + static_cast<std::ptrdiff_t>(index);
    auto last = first + static_cast<std::ptrdiff_t>(count);
    // Summed modulo 2^32: deltas that large only come from malformed five-byte quantities.
    std::uint32_t removed = 0;
    for (auto it = first; it != last; ++it)
        removed += static_cast<std::uint32_t>(it->delta);
    events.erase(first, last);
    if (index < events.size()) {
        MidiEvent& next = events[index];
        next.delta = static_cast<std::int32_t>(static_cast<std::uint32_t>(next.delta) + removed);
    }
}

// ---- Song

bool Song::read(MidiBuffer& buffer, Notifier& notifier)
{
    auto refuse = [&] {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return false;
    };

    readChunkHeader(buffer, chunkId, chunkLength);
    if (buffer.overflow() || !sameId(chunkId, "MThd") || chunkLength != 6)
        return refuse();
    buffer.readByte(); // the format word's high byte carries nothing
    format = buffer.readByte();
    trackCount = static_cast<std::int16_t>(buffer.readWord());
    division = static_cast<std::int16_t>(buffer.readWord());
    if (format == 0 && trackCount > 1)
        trackCount = 1;
    if (buffer.overflow())
        return refuse();

    try {
        // Every track takes at least 12 bytes, which bounds what a header may make us reserve.
        if (trackCount > 0)
            tracks.reserve(std::min<std::size_t>(static_cast<std::size_t>(trackCount),
                static_cast<std::size_t>(buffer.remaining() / 12) + 1));
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
        return refuse();
    }
    for (std::int32_t i = 0; i < trackCount; ++i) {
        Track track;
        if (!m_spareEvents.empty()) {
            track.events = std::move(m_spareEvents.back());
            m_spareEvents.pop_back();
        }
        if (!track.read(buffer, notifier) || buffer.overflow())
            return false;
        try {
            tracks.push_back(std::move(track));
        } catch (const std::bad_alloc&) {
            notifier.notify(outOfMemoryText);
            return refuse();
        }
    }
    if (buffer.remaining() != 0)
        return refuse();
    return true;
}

bool Song::readImage(
    std::vector<std::uint8_t>& image, const std::string& filePath, Notifier& notifier)
{
    if (image.size() > static_cast<std::size_t>(int32Max)) {
        notifier.notify(withPath(invalidFileText, filePath));
        return false;
    }
    MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), filePath);
    return read(buffer, notifier);
}

std::int32_t Song::encodedSize() const
{
    std::int64_t size = 14;
    for (const Track& track : tracks)
        size += track.encodedSize();
    return saturate(size);
}

bool Song::write(MidiBuffer& buffer, Notifier& notifier)
{
    std::memcpy(chunkId, "MThd", 5);
    chunkLength = 6;
    writeChunkHeader(buffer, chunkId, chunkLength);
    format = tracks.size() > 1 ? 1 : 0;
    trackCount = static_cast<std::int16_t>(tracks.size());
    buffer.writeByte(0);
    buffer.writeByte(format);
    buffer.writeWord(static_cast<std::uint16_t>(trackCount));
    buffer.writeWord(static_cast<std::uint16_t>(division));
    if (buffer.overflow()) {
        notifier.notify(bufferTooSmallText);
        return false;
    }
    for (const Track& track : tracks) {
        if (!track.write(buffer, notifier))
            return false;
    }
    return !buffer.overflow();
}

void Song::clear()
{
    for (Track& track : tracks) {
        track.events.clear();
        m_spareEvents.push_back(std::move(track.events));
    }
    tracks.clear();
    chunkId[0] = '\0';
    chunkLength = 0;
    format = 0;
    trackCount = 0;
    division = 0;
}

} // namespace sorvanel
