#include "song/Song.h"

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
    if (n > 4)
        externalData = address;
    else if (n > 0)
        std::memcpy(inlineData, address, static_cast<std::size_t>(n));
}

void MidiEvent::decode(MidiBuffer& buffer, std::uint8_t& runningStatus)
{
    delta = buffer.readVarLen();
    std::uint8_t next = buffer.peekByte();
    if (buffer.overflow())
        return;
    if (next < 0x80 && runningStatus >= 0x80) {
        status = runningStatus;
    } else {
        status = buffer.readByte();
        runningStatus = status;
    }

    std::int32_t n = 0;
    if (status >= 0x80 && status <= 0xEF) {
        n = (status & 0xE0) == 0xC0 ? 1 : 2;
    } else if (status == 0xFF) {
        metaType = buffer.readByte();
        n = buffer.readVarLen();
    } else if (status == 0xF0 || status == 0xF7) {
        n = buffer.readVarLen();
    } else {
        return;
    }
    if (const std::uint8_t* data = buffer.take(n))
        setData(data, n);
}

std::int32_t MidiEvent::encodedSize() const
{
    std::int32_t size = MidiBuffer::varLenSize(delta) + 1;
    if (status >= 0x80 && status <= 0xEF)
        size += length;
    else if (status == 0xFF)
        size += 1 + MidiBuffer::varLenSize(length) + length;
    else if (status == 0xF0 || status == 0xF7)
        size += MidiBuffer::varLenSize(length) + length;
    return size;
}

void MidiEvent::encode(MidiBuffer& buffer) const
{
    buffer.writeVarLen(delta);
    buffer.writeByte(status);
    if (status >= 0x80 && status <= 0xEF) {
        buffer.writeRaw(data(), length);
    } else if (status == 0xFF) {
        buffer.writeByte(metaType);
        buffer.writeVarLen(length);
        buffer.writeRaw(data(), length);
    } else if (status == 0xF0 || status == 0xF7) {
        buffer.writeVarLen(length);
        buffer.writeRaw(data(), length);
    }
}

// ---- Track

void Track::reserveFor(std::size_t needed)
{
    std::size_t capacity = events.capacity();
    if (needed <= capacity)
        return;
    events.reserve(std::max({needed, capacity + minimumGrowth, capacity * 2}));
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
    std::uint8_t runningStatus = 0;
    bool ended = false;
    try {
        // Few events take fewer than 3 bytes; a wrong guess only costs one geometric growth.
        if (chunkLength > 0)
            reserveFor(events.size() + static_cast<std::size_t>(chunkLength) / 3 + 1);
        while (buffer.remaining() > 0) {
            MidiEvent event;
            event.decode(buffer, runningStatus);
            if (buffer.overflow())
                break;
            if (events.size() == events.capacity())
                reserveFor(events.size() + 1);
            events.push_back(event);
            if (isEndOfTrack(event)) {
                ended = true;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
        return refuse();
    }
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
    for (const MidiEvent& event : events) {
        if (buffer.overflow())
            return fail();
        event.encode(buffer);
    }
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
