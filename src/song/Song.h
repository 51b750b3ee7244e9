#pragma once

#include "song/MidiBuffer.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sorvanel {

class Notifier;

/// One track event, 16 bytes. Data of up to 4 bytes is kept inline; longer data is referred
/// to by its place in the file image it was read from, which must outlive the event. That
/// place is counted from the `image` of the event's track, so the record stays half the size
/// an address would make it: a song's arrays are most of what it costs to read.
struct MidiEvent
{
    std::int32_t delta = 0;
    std::uint8_t status = 0;
    std::uint8_t metaType = 0; ///< 0 unless status is FF
    std::int32_t length = 0; ///< data bytes, without status, meta type or length prefix
    union {
        std::uint8_t inlineData[4] = {}; ///< `length` 1 to 4
        std::uint32_t dataOffset; ///< `length` over 4: the data's distance from the image
    };

    /// Sets `length` to n and keeps the data: copied inline for 1 to 4 bytes, referred to by
    /// its distance from `image` above that (`address` lies at most 2 GB after `image`).
    void setData(const std::uint8_t* image, const std::uint8_t* address, std::int32_t n);
    /// The data, inline or inside `image`, the memory the track's long data is counted from.
    const std::uint8_t* data(const std::uint8_t* image) const
    {
        return length <= 4 ? inlineData : image + dataOffset;
    }

    /// Reads one event at the buffer's cursor, applying and updating the running status;
    /// long data is counted from `image`. A failure shows as the buffer's `overflow`.
    void decode(MidiBuffer& buffer, std::uint8_t& runningStatus, const std::uint8_t* image);
    /// Writes the event with its status byte and shortest quantities.
    void encode(MidiBuffer& buffer, const std::uint8_t* image) const;
    std::int32_t encodedSize() const
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
};

static_assert(sizeof(MidiEvent) == 16);

/// The status byte of meta events, and the meta types the program looks at.
inline constexpr std::uint8_t metaStatus = 0xFF;
inline constexpr std::uint8_t titleMetaType = 0x03;
inline constexpr std::uint8_t endOfTrackMetaType = 0x2F;

/// Whether `event` gives a song its title: the first one with text names the song.
inline bool isTitleEvent(const MidiEvent& event)
{
    return event.status == metaStatus && event.metaType == titleMetaType && event.length >= 1;
}

/// Which events to delete, decided by the status byte with exceptions by the first data byte
/// (0 when there is none), and how many it deleted. A song read through a sieve never stores
/// the events it deletes; each passes its delta on to the event after it.
struct EventSieve
{
    /// Per status byte: 0 keeps the event; 1 or 2 deletes it, counted in that tally; with
    /// `spareFlag` added it is kept all the same when its first data byte is set in
    /// `spared[tally - 1]`.
    std::array<std::uint8_t, 256> action{};
    std::array<std::bitset<256>, 2> spared;
    static constexpr std::uint8_t spareFlag = 4;
    /// Events deleted, per tally.
    std::array<std::int32_t, 2> deleted{};

    /// 0 when `event` stays, otherwise the tally it is deleted into; long data is counted from
    /// `image`.
    unsigned judge(const MidiEvent& event, const std::uint8_t* image) const
    {
        unsigned verdict = action[event.status];
        if ((verdict & spareFlag) != 0) {
            verdict &= ~unsigned{spareFlag};
            const std::uint8_t first = event.length > 0 ? event.data(image)[0] : 0;
            if (spared[verdict - 1].test(first))
                return 0;
        }
        return verdict;
    }

    /// Whether `event` stays. A deleted one is tallied and its delta added to `carried` (modulo
    /// 2^32); a kept one takes on what `carried` holds, so every event keeps its time.
    bool passes(MidiEvent& event, const std::uint8_t* image, std::uint32_t& carried)
    {
        if (const unsigned tally = judge(event, image)) {
            ++deleted[tally - 1];
            carried += static_cast<std::uint32_t>(event.delta);
            return false;
        }
        if (carried != 0) {
            event.delta =
                static_cast<std::int32_t>(static_cast<std::uint32_t>(event.delta) + carried);
            carried = 0;
        }
        return true;
    }
};

/// One "MTrk" chunk.
class Track
{
public:
    char chunkId[5] = {};
    std::int32_t chunkLength = 0;
    /// Where the long data of the events is counted from: the start of the block the track
    /// was read from (set by `read` when empty).
    const std::uint8_t* image = nullptr;
    /// Grows by at least `minimumGrowth` events and geometrically beyond that (see `reserveFor`).
    std::vector<MidiEvent> events;

    static constexpr std::size_t minimumGrowth = 10000;
    /// The most events a track reserves before it has read any: a chunk's length says little
    /// about its event count (one SysEx dump may fill it), so the array is sized from what the
    /// first events show.
    static constexpr std::size_t firstReserve = 4096;

    /// Reads one track chunk, leaving out what `sieve` deletes; shows the track message
    /// through `notifier` and returns false when the chunk is not a valid track.
    bool read(MidiBuffer& buffer, Notifier& notifier, EventSieve* sieve = nullptr);
    bool write(MidiBuffer& buffer, Notifier& notifier) const;
    std::int32_t encodedSize() const;

    /// The data of one of this track's events.
    const std::uint8_t* data(const MidiEvent& event) const { return event.data(image); }

    /// Inserts a copy of `event` before `index` (0 <= index <= count); deltas are untouched.
    void insertEvent(const MidiEvent& event, std::size_t index);
    /// Removes up to `count` events from `index`, adding their deltas to the event that then
    /// stands at `index`, so every remaining event keeps its time.
    void removeEvents(std::size_t index, std::size_t count);

    /// Makes room for `needed` events: a full array grows by the larger of `minimumGrowth` and
    /// its own size, so long tracks never regrow in small steps.
    void reserveFor(std::size_t needed);

private:
    /// Grows a full array while the chunk is read, to the count that the `consumed` bytes
    /// predict for the whole chunk, and at least by half, so irregular tracks still grow
    /// geometrically.
    void growWhileReading(std::int64_t consumed);

    friend struct StoringEvents;
};

/// A whole Standard MIDI File.
class Song
{
public:
    char chunkId[5] = {};
    std::int32_t chunkLength = 0;
    std::uint8_t format = 0;
    std::int16_t trackCount = 0;
    std::int16_t division = 0;
    std::vector<Track> tracks;

    /// Parses a file image (bare or RIFF-wrapped) into this empty song, leaving out the events
    /// `sieve` deletes. On refusal exactly one message has been shown through `notifier` and
    /// the song may hold some tracks.
    bool read(MidiBuffer& buffer, Notifier& notifier, EventSieve* sieve = nullptr);
    /// Encodes the song as a bare Standard MIDI File into a buffer of at least `encodedSize()`
    /// bytes. Returns false after showing "Internal midi buffer too small!".
    bool write(MidiBuffer& buffer, Notifier& notifier);
    /// The bytes `write` fills: 14 plus every track's size. Saturates at the largest
    /// `std::int32_t`, which no block can hold, so an oversized song fails to write instead of
    /// being cut short.
    std::int32_t encodedSize() const;

    /// Reads a whole file image; refuses (with the file message) an image too large for a
    /// `MidiBuffer`. The image must outlive the song's use.
    bool readImage(
        std::vector<std::uint8_t>& image, const std::string& filePath, Notifier& notifier);

    /// Empties the song for the next `read` but keeps its tracks' event storage, so a batch
    /// of files does not pay for fresh memory on every file.
    void clear();

private:
    /// Decides which kept event array each track of the image at `buffer` starts with: the
    /// longest chunk gets the largest array, and so on down, so a batch's arrays stay about as
    /// large as its largest file needs wherever in a file its long tracks stand.
    void planSpareEvents(const MidiBuffer& buffer);

    std::vector<std::vector<MidiEvent>> m_spareEvents;
    /// For track i of the file being read, an index into `m_spareEvents` or `noSpare`.
    std::vector<std::size_t> m_spareFor;
    std::vector<std::pair<std::int32_t, std::size_t>> m_chunkOrder; // length, track
    static constexpr std::size_t noSpare = static_cast<std::size_t>(-1);
};

/// Checks a file image exactly as `Song::read` does, refusing it with the same message, but
/// keeps no events; on acceptance `title` holds the data of the first track-name meta event
/// with at least one byte (empty when there is none). What the title lookup of a folder needs.
bool scanSongTitle(MidiBuffer& buffer, Notifier& notifier, std::string& title);

/// What `writeSieved` came to.
enum class SievedWrite { Written, Refused, TooSmall };

/// Gives a block of at least `atLeast` bytes (its size in `capacity`) that starts with the
/// first `used` bytes of the block it replaces; throws `std::bad_alloc` when there is none.
using GrowBlock =
    std::function<std::uint8_t*(std::size_t used, std::size_t atLeast, std::size_t& capacity)>;

/// Reads a file image as `Song::read` does and, in the same pass and keeping no events,
/// encodes what `Song::write` would write for it once `sieve` deleted its events: a clean that
/// only deletes. `block` holds `capacity` bytes; `sievedSizeBound` of the image's size is
/// always enough, and where `grow` is given, it is asked for more when needed (the song is
/// then in the block it gave last). `Refused` after the reader's one message, `TooSmall` after
/// "Internal midi buffer too small!" (the song was valid); on `Written`, `written` bytes hold
/// the song.
SievedWrite writeSieved(MidiBuffer& buffer, Notifier& notifier, EventSieve& sieve,
    std::uint8_t* block, std::size_t capacity, std::size_t& written, const GrowBlock& grow = {});
/// Bytes that always hold what `writeSieved` writes for an image of `imageSize` bytes.
std::size_t sievedSizeBound(std::size_t imageSize);

/// The reader's texts; `%s` stands for the file's full path.
inline constexpr const char* invalidFileText = "Invalid midi file structure - file: %s !";
inline constexpr const char* invalidTrackText = "Invalid midi track structure - file: %s !";
inline constexpr const char* bufferTooSmallText = "Internal midi buffer too small!";

} // namespace sorvanel
