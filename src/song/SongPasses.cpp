// The passes over a song that store no events: the title scan and the one-pass clean. Both
// run the codec's track loop with a sink of their own; neither keeps an event.

#include "platform/Notifier.h"
#include "song/EventCodec.h"
#include "song/Song.h"

#include <cstring>

namespace sorvanel {

using namespace codec;

namespace {

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
        if (!found && isTitleEvent(e)) {
            title.assign(
                reinterpret_cast<const char*>(e.data(image)), static_cast<std::size_t>(e.length));
            found = true;
        }
    }
};

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

/// Reads the header chunk; false after the reader's message when the file is broken.
bool readHeader(MidiBuffer& buffer, Notifier& notifier, SongHeader& header)
{
    if (readSongHeader(buffer, header))
        return true;
    notifier.notify(withPath(invalidFileText, buffer.filePath()));
    return false;
}

/// The outer loop of both passes: every track chunk after the header, its events handed to
/// `sink` (`beforeTrack()` runs before each chunk, `afterTrack()` after it), then the end of
/// the file. Long data is counted from `image`. False after the reader's message for a broken
/// track or bytes after the last one.
template <class Sink, class Before, class After>
bool passTracks(MidiBuffer& buffer, Notifier& notifier, SongHeader& header,
    const std::uint8_t* image, Sink& sink, Before beforeTrack, After afterTrack)
{
    for (std::int32_t i = 0; i < header.trackCount; ++i) {
        beforeTrack();
        if (!readTrackChunk(buffer, header.chunkId, header.chunkLength, image, sink)) {
            notifier.notify(withPath(invalidTrackText, buffer.filePath()));
            return false;
        }
        afterTrack();
    }
    if (buffer.remaining() != 0) {
        notifier.notify(withPath(invalidFileText, buffer.filePath()));
        return false;
    }
    return true;
}

} // namespace

bool scanSongTitle(MidiBuffer& buffer, Notifier& notifier, std::string& title)
{
    title.clear();
    const std::uint8_t* const image = buffer.cursor();
    SongHeader header;
    if (!readHeader(buffer, notifier, header))
        return false;
    TitleSearch search{MidiEvent(), title};
    if (!passTracks(
            buffer, notifier, header, image, search, [] {}, [] {})) {
        title.clear();
        return false;
    }
    return true;
}

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
    if (!readHeader(buffer, notifier, header))
        return SievedWrite::Refused;
    if (capacity < songHeaderSize && grow)
        block = grow(0, 64, capacity);
    if (capacity < songHeaderSize) {
        notifier.notify(bufferTooSmallText);
        return SievedWrite::TooSmall;
    }
    EncodingEvents sink{
        sieve, block + songHeaderSize, block + capacity, false, 0, MidiEvent(), block, &grow};
    std::uint16_t tracksWritten = 0;
    std::size_t chunk = 0;
    auto beforeTrack = [&] {
        // An offset: the block may move as it grows.
        chunk = static_cast<std::size_t>(sink.out - sink.block);
        if (sink.end - sink.out < chunkHeaderSize && !sink.makeRoom(chunkHeaderSize))
            sink.tooSmall = true;
        else
            sink.out += chunkHeaderSize;
        sink.carried = 0;
    };
    auto afterTrack = [&] {
        if (!sink.tooSmall) {
            std::uint8_t* const at = sink.block + chunk;
            std::memcpy(at, "MTrk", 4);
            putBigEndian(at + 4, static_cast<std::uint32_t>(sink.out - at - chunkHeaderSize));
        }
        ++tracksWritten;
    };
    if (!passTracks(buffer, notifier, header, image, sink, beforeTrack, afterTrack))
        return SievedWrite::Refused;
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

} // namespace sorvanel
