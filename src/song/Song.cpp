#include "song/Song.h"

#include "platform/Memory.h"
#include "platform/Notifier.h"
#include "song/EventCodec.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace sorvanel {

using namespace codec;

// ---- MidiEvent

void MidiEvent::setData(const std::uint8_t* image, const std::uint8_t* address, std::int32_t n)
{
    length = n;
    std::memset(inlineData, 0, sizeof inlineData);
    if (n > 4) {
        dataOffset = static_cast<std::uint32_t>(address - image);
    } else {
        // A loop rather than memcpy: a call costs more than copying at most four bytes.
        for (std::int32_t i = 0; i < n; ++i)
            inlineData[i] = address[i];
    }
}

void MidiEvent::decode(MidiBuffer& buffer, std::uint8_t& runningStatus, const std::uint8_t* image)
{
    if (buffer.overflow())
        return;
    *this = MidiEvent();
    const std::uint8_t* p = buffer.cursor();
    bool endOfTrack = false;
    if (decodeEvent(*this, p, p + buffer.remaining(), runningStatus, image, endOfTrack))
        buffer.passTo(p);
    else
        buffer.markOverflow();
}

void MidiEvent::encode(MidiBuffer& buffer, const std::uint8_t* image) const
{
    // One bounds check for the whole event; when it fails nothing of the event is written.
    if (std::uint8_t* out = buffer.claim(encodedSize()))
        putEvent<false>(*this, out, image);
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

void Track::growWhileReading(std::int64_t consumed)
{
    const std::size_t count = events.size();
    if (count == 0) {
        // A fresh array: a few thousand events at most until the first ones show how many
        // the chunk holds.
        events.reserve(chunkLength > 0
                ? std::min(static_cast<std::size_t>(chunkLength) / 3 + 1, firstReserve)
                : 16);
        return;
    }
    std::size_t predicted = 0;
    if (consumed > 0 && chunkLength > consumed) {
        // A sixteenth more than the bytes so far predict, so a regular track grows only once;
        // but at most to a million events or sixteen times what it holds, so a track of short
        // events before one long dump does not reserve for many events it will never have.
        std::int64_t whole = static_cast<std::int64_t>(count) * chunkLength / consumed;
        whole = std::min(whole + whole / 16 + 16,
            std::max<std::int64_t>(static_cast<std::int64_t>(count) * 16, std::int64_t{1} << 20));
        predicted = static_cast<std::size_t>(whole);
    }
    const std::size_t capacity = events.capacity();
    events.reserve(std::max({count + 1, predicted, capacity + capacity / 2, firstReserve}));
    adviseHugePages(events.data(), events.capacity() * sizeof(MidiEvent));
}

/// Stores the events of a track being read, decoded in place, less those the sieve deletes.
struct StoringEvents
{
    Track& track;
    EventSieve* sieve = nullptr;
    /// The deltas of the deleted events since the last kept one, summed modulo 2^32.
    std::uint32_t carried = 0;

    MidiEvent& slot(std::int64_t consumed)
    {
        if (track.events.size() == track.events.capacity())
            track.growWhileReading(consumed);
        // The array has room, so this cannot throw or move anything.
        return track.events.emplace_back();
    }
    void drop() { track.events.pop_back(); }
    void keep(MidiEvent& event, const std::uint8_t* image)
    {
        if (sieve != nullptr && !sieve->passes(event, image, carried))
            track.events.pop_back();
    }
};

bool Track::read(MidiBuffer& buffer, Notifier& notifier, EventSieve* sieve)
{
    bool valid = false;
    if (image == nullptr)
        image = buffer.cursor();
    try {
        StoringEvents sink{*this, sieve};
        valid = readTrackChunk(buffer, chunkId, chunkLength, image, sink);
    } catch (const std::bad_alloc&) {
        // A track that did not fit in memory is not called invalid.
        notifier.notify(outOfMemoryText);
        return false;
    }
    if (!valid)
        notifier.notify(withPath(invalidTrackText, buffer.filePath()));
    return valid;
}

std::int32_t Track::encodedSize() const
{
    std::int64_t size = chunkHeaderSize;
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
    std::uint8_t* out = buffer.cursor();
    std::uint8_t* const end = out + buffer.remaining();
    for (const MidiEvent& event : events) {
        // Most events are short: with room for any of them, none needs its size counted.
        if (roomyFor(event, out, end)) {
            out = putEvent<true>(event, out, image);
            continue;
        }
        if (event.encodedSize() > end - out) {
            buffer.markOverflow();
            return fail();
        }
        out = putEvent<false>(event, out, image);
    }
    buffer.passTo(out);
    writeChunkHeader(header, "MTrk", header.remaining() - buffer.remaining() - chunkHeaderSize);
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

bool Song::read(MidiBuffer& buffer, Notifier& notifier, EventSieve* sieve)
{
    auto refuse = [&] {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return false;
    };

    // Long data is counted from here in every track.
    const std::uint8_t* const image = buffer.cursor();
    SongHeader header;
    const bool headerValid = readSongHeader(buffer, header);
    std::memcpy(chunkId, header.chunkId, sizeof chunkId);
    chunkLength = header.chunkLength;
    format = header.format;
    trackCount = header.trackCount;
    division = header.division;
    if (!headerValid)
        return refuse();

    try {
        // Every track takes at least 12 bytes, which bounds what a header may make us reserve.
        if (trackCount > 0)
            tracks.reserve(std::min<std::size_t>(static_cast<std::size_t>(trackCount),
                static_cast<std::size_t>(buffer.remaining() / 12) + 1));
        planSpareEvents(buffer);
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
        return false;
    }
    for (std::int32_t i = 0; i < trackCount; ++i) {
        Track track;
        track.image = image;
        auto index = static_cast<std::size_t>(i);
        if (index < m_spareFor.size() && m_spareFor[index] != noSpare)
            track.events.swap(m_spareEvents[m_spareFor[index]]);
        if (!track.read(buffer, notifier, sieve) || buffer.overflow())
            return false;
        try {
            tracks.push_back(std::move(track));
        } catch (const std::bad_alloc&) {
            notifier.notify(outOfMemoryText);
            return false;
        }
    }
    if (buffer.remaining() != 0)
        return refuse();
    return true;
}

void Song::planSpareEvents(const MidiBuffer& buffer)
{
    m_spareFor.clear();
    if (m_spareEvents.empty() || trackCount <= 0)
        return;
    // The chunk lengths as announced; the reader checks them later. A probe without a path,
    // so it allocates nothing.
    MidiBuffer probe(buffer.cursor(), buffer.remaining(), {});
    m_chunkOrder.clear();
    for (std::int32_t i = 0; i < trackCount; ++i) {
        char id[5];
        std::int32_t length = 0;
        readChunkHeader(probe, id, length);
        if (probe.overflow() || probe.take(length) == nullptr)
            break;
        m_chunkOrder.emplace_back(length, static_cast<std::size_t>(i));
    }
    std::sort(m_chunkOrder.begin(), m_chunkOrder.end(),
        [](const auto& a, const auto& b) { return a.first > b.first; });
    std::sort(m_spareEvents.begin(), m_spareEvents.end(),
        [](const auto& a, const auto& b) { return a.capacity() > b.capacity(); });
    m_spareFor.assign(m_chunkOrder.size(), noSpare);
    for (std::size_t rank = 0; rank < m_chunkOrder.size() && rank < m_spareEvents.size(); ++rank)
        m_spareFor[m_chunkOrder[rank].second] = rank;
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
    std::int64_t size = songHeaderSize;
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
    // The arrays handed out to the last file's tracks left empty places behind.
    std::erase_if(m_spareEvents, [](const auto& events) { return events.capacity() == 0; });
    for (Track& track : tracks) {
        track.events.clear();
        if (track.events.capacity() > 0)
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
