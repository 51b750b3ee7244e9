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

} // namespace

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

namespace {

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
        endOfTrack = metaType == 0x2F && n == 0;
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

} // namespace

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

namespace {

/// Writes `event` at `out` with its status byte and shortest quantities; returns the address
/// after it. `out` has room for `encodedSize()` bytes, or for 16 when `roomy`, which lets
/// the data of a short event be copied as one word.
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
/// and the longest such event (12 bytes) fits.
inline bool roomyFor(const MidiEvent& event, const std::uint8_t* out, const std::uint8_t* end)
{
    return end - out >= 16 && static_cast<std::uint32_t>(event.length) <= 4;
}

} // namespace

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

namespace {

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

} // namespace

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

namespace {

struct SongHeader
{
    char chunkId[5] = {};
    std::int32_t chunkLength = 0;
    std::uint8_t format = 0;
    std::int16_t trackCount = 0;
    std::int16_t division = 0;
};

/// Reads the header chunk; false when it makes the file invalid.
bool readSongHeader(MidiBuffer& buffer, SongHeader& header)
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

/// Looks at each complete event for the title and keeps nothing.
struct TitleSearch
{
    MidiEvent event;
    std::string& title;
    bool found = false;

    MidiEvent& slot(std::int64_t)
    {
        // Only what `keep` looks at and the decoder may leave alone needs to be zero.
        event.metaType = 0;
        event.length = 0;
        return event;
    }
    void drop() { }
    void keep(const MidiEvent& e, const std::uint8_t* image)
    {
        if (!found && e.status == 0xFF && e.metaType == 0x03 && e.length >= 1) {
            title.assign(
                reinterpret_cast<const char*>(e.data(image)), static_cast<std::size_t>(e.length));
            found = true;
        }
    }
};

} // namespace

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

bool scanSongTitle(MidiBuffer& buffer, Notifier& notifier, std::string& title)
{
    title.clear();
    const std::uint8_t* const image = buffer.cursor();
    SongHeader header;
    if (!readSongHeader(buffer, header)) {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return false;
    }
    TitleSearch search{MidiEvent(), title};
    for (std::int32_t i = 0; i < header.trackCount; ++i) {
        if (!readTrackChunk(buffer, header.chunkId, header.chunkLength, image, search)) {
            title.clear();
            notifier.notify(withPath(invalidTrackText, buffer.filePath()));
            return false;
        }
    }
    if (buffer.remaining() != 0) {
        title.clear();
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return false;
    }
    return true;
}

namespace {

/// Encodes each complete event as `Track::write` would, unless the sieve deletes it, into a
/// block that the caller has sized for the whole song.
struct EncodingEvents
{
    EventSieve& sieve;
    std::uint8_t* out;
    std::uint8_t* end;
    bool tooSmall = false;
    std::uint32_t carried = 0;
    MidiEvent scratch;
    std::uint8_t* block = nullptr;
    const GrowBlock* grow = nullptr;

    /// Makes room for `size` more bytes where the caller can give a larger block.
    bool makeRoom(std::size_t size)
    {
        if (grow == nullptr || !*grow)
            return false;
        const auto used = static_cast<std::size_t>(out - block);
        std::size_t capacity = 0;
        block = (*grow)(used, used + size + 16, capacity);
        out = block + used;
        end = block + capacity;
        return static_cast<std::size_t>(end - out) >= size;
    }

    MidiEvent& slot(std::int64_t)
    {
        scratch = MidiEvent();
        return scratch;
    }
    void drop() { }
    void keep(MidiEvent& event, const std::uint8_t* image)
    {
        // Once the block is found too small the song is still read to its end, so that it
        // is judged whole as the reader judges it.
        if (!sieve.passes(event, image, carried) || tooSmall)
            return;
        if (roomyFor(event, out, end))
            out = putEvent<true>(event, out, image);
        else if (event.encodedSize() <= end - out
            || makeRoom(static_cast<std::size_t>(event.encodedSize())))
            out = putEvent<false>(event, out, image);
        else
            tooSmall = true;
    }
};

void putBigEndian(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

} // namespace

std::size_t sievedSizeBound(std::size_t imageSize)
{
    // Only an event read with running status is written longer, by its status byte, and it
    // took at least one byte: its delta, where the running status is one without data. A
    // deleted event's delta passed on lengthens the next one's by fewer bytes than the
    // deleted event took.
    return 2 * imageSize + 16;
}

SievedWrite writeSieved(MidiBuffer& buffer, Notifier& notifier, EventSieve& sieve,
    std::uint8_t* block, std::size_t capacity, std::size_t& written, const GrowBlock& grow)
{
    written = 0;
    const std::uint8_t* const image = buffer.cursor();
    SongHeader header;
    if (!readSongHeader(buffer, header)) {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return SievedWrite::Refused;
    }
    if (capacity < 14 && grow)
        block = grow(0, 64, capacity);
    if (capacity < 14) {
        notifier.notify(bufferTooSmallText);
        return SievedWrite::TooSmall;
    }
    EncodingEvents sink{sieve, block + 14, block + capacity, false, 0, MidiEvent(), block, &grow};
    std::uint16_t tracksWritten = 0;
    for (std::int32_t i = 0; i < header.trackCount; ++i) {
        // An offset: the block may move as it grows.
        const auto chunk = static_cast<std::size_t>(sink.out - sink.block);
        if (sink.end - sink.out < 8 && !sink.makeRoom(8))
            sink.tooSmall = true;
        else
            sink.out += 8;
        sink.carried = 0;
        if (!readTrackChunk(buffer, header.chunkId, header.chunkLength, image, sink)) {
            notifier.notify(withPath(invalidTrackText, buffer.filePath()));
            return SievedWrite::Refused;
        }
        if (!sink.tooSmall) {
            std::uint8_t* const at = sink.block + chunk;
            std::memcpy(at, "MTrk", 4);
            putBigEndian(at + 4, static_cast<std::uint32_t>(sink.out - at - 8));
        }
        ++tracksWritten;
    }
    if (buffer.remaining() != 0) {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return SievedWrite::Refused;
    }
    if (sink.tooSmall) {
        notifier.notify(bufferTooSmallText);
        return SievedWrite::TooSmall;
    }
    // The header as `Song::write` makes it.
    block = sink.block;
    std::memcpy(block, "MThd", 4);
    putBigEndian(block + 4, 6);
    block[8] = 0;
    block[9] = tracksWritten > 1 ? 1 : 0;
    block[10] = static_cast<std::uint8_t>(tracksWritten >> 8);
    block[11] = static_cast<std::uint8_t>(tracksWritten);
    block[12] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(header.division) >> 8);
    block[13] = static_cast<std::uint8_t>(header.division);
    written = static_cast<std::size_t>(sink.out - block);
    return SievedWrite::Written;
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
