#include "cleaning/EventFilter.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace sorvanel {

namespace {

constexpr std::uint8_t resetController = 121;

constexpr std::uint8_t controllerTally = 1;
constexpr std::uint8_t sysExTally = 2;

/// The deletion rules of the options as a sieve: control changes and pitch bends go into the
/// controller tally, F0 and F7 events into the SysEx tally.
EventSieve sieveFor(const CleanOptions& options)
{
    EventSieve sieve;
    auto spare = [](std::bitset<256>& set, std::int32_t value) {
        if (value >= 0 && value <= 255)
            set.set(static_cast<std::size_t>(value));
    };
    if (options.DeleteAllControlEvents != 0) {
        const bool except = options.ExceptControlEvents != 0;
        for (std::size_t status = 0xB0; status <= 0xBF; ++status)
            sieve.action[status] =
                except ? controllerTally | EventSieve::spareFlag : controllerTally;
        if (!except || options.PitchBend == 0)
            for (std::size_t status = 0xE0; status <= 0xEF; ++status)
                sieve.action[status] = controllerTally;
        if (except) {
            const std::pair<std::int32_t, std::int32_t> standard[] = {
                {options.BankSelectMSB, 0},
                {options.Modulation, 1},
                {options.BankSelectLSB, 32},
                {options.Volume, 7},
                {options.Pan, 10},
                {options.Expression, 11},
                {options.Reverb, 91},
                {options.Chorus, 93},
                {options.Sustain, 64},
            };
            for (auto [flag, controller] : standard)
                if (flag != 0)
                    spare(sieve.spared[controllerTally - 1], controller);
            for (const ByteSlot& slot : options.Control)
                spare(sieve.spared[controllerTally - 1], slot.Value);
        }
    }
    if (options.DeleteSysExEvents != 0) {
        const bool except = options.ExceptManufacturerIds != 0;
        sieve.action[0xF0] = sieve.action[0xF7] =
            except ? sysExTally | EventSieve::spareFlag : sysExTally;
        if (except)
            for (const ByteSlot& slot : options.ManufacturerId)
                spare(sieve.spared[sysExTally - 1], slot.Value);
    }
    return sieve;
}

bool deletesAnything(const CleanOptions& options)
{
    return options.DeleteSysExEvents != 0 || options.DeleteAllControlEvents != 0;
}

/// Removes the condemned events in one pass. The result is that of removing them one at a
/// time, each passing its delta on to the event that takes its place: the deltas of a run of
/// deleted events add up onto the next kept event (modulo 2^32, like a 32-bit sum), and are
/// lost only when the run reaches the end of the track.
void compactTrack(Track& track, EventSieve& sieve)
{
    std::vector<MidiEvent>& events = track.events;
    std::size_t kept = 0;
    std::uint32_t carried = 0;
    for (std::size_t index = 0; index < events.size(); ++index) {
        MidiEvent& event = events[index];
        if (!sieve.passes(event, track.image, carried))
            continue;
        if (kept != index)
            events[kept] = event;
        ++kept;
    }
    events.resize(kept);
}

bool isChannelEvent(const MidiEvent& event)
{
    return event.status >= 0x80 && event.status <= 0xEF;
}

bool isReset(const MidiEvent& event, const std::uint8_t* image)
{
    return event.status >= 0xB0 && event.status <= 0xBF && event.length >= 1
        && event.data(image)[0] == resetController;
}

bool isEndOfTrack(const MidiEvent& event)
{
    return event.status == metaStatus && event.metaType == endOfTrackMetaType && event.length == 0;
}

using Channels = std::bitset<16>;

/// Inserts one reset per channel of `channels`, ascending, as one block before `at`.
void insertResets(Track& track, std::size_t at, Channels channels, CleanCounts& counts)
{
    if (channels.none())
        return;
    std::array<MidiEvent, 16> block{};
    std::size_t n = 0;
    for (std::size_t channel = 0; channel < 16; ++channel) {
        if (!channels.test(channel))
            continue;
        MidiEvent& reset = block[n++];
        reset.delta = 0;
        reset.status = static_cast<std::uint8_t>(0xB0 + channel);
        reset.metaType = 0;
        reset.length = 2;
        reset.inlineData[0] = resetController;
        reset.inlineData[1] = 0;
    }
    auto position = track.events.begin() + static_cast<std::ptrdiff_t>(at);
    track.events.insert(position, block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    counts.resetsInserted += static_cast<std::int32_t>(n);
    counts.changed = true;
}

void insertTrackResets(Track& track, bool atBeginning, bool atEnd, CleanCounts& counts)
{
    const std::vector<MidiEvent>& events = track.events;
    Channels used;
    for (const MidiEvent& event : events)
        if (isChannelEvent(event))
            used.set(event.status & 0x0F);
    if (used.none())
        return;

    if (atBeginning) {
        // Only resets that open the track count as already there.
        Channels missing = used;
        for (std::size_t i = 0; i < events.size() && isReset(events[i], track.image); ++i)
            missing.reset(events[i].status & 0x0F);
        auto first = std::find_if(events.begin(), events.end(), isChannelEvent);
        std::size_t at =
            first == events.end() ? 0 : static_cast<std::size_t>(first - events.begin());
        insertResets(track, at, missing, counts);
    }

    if (atEnd) {
        Channels missing = used;
        std::size_t at = events.size();
        for (std::size_t i = events.size(); i-- > 0;) {
            if (isEndOfTrack(events[i]))
                at = i;
            else if (isReset(events[i], track.image))
                missing.reset(events[i].status & 0x0F);
            else
                break;
        }
        insertResets(track, at, missing, counts);
    }
}

/// What `sieve` deleted, into `counts`.
void tally(const EventSieve& sieve, CleanCounts& counts)
{
    counts.controllersRemoved = sieve.deleted[controllerTally - 1];
    counts.sysExRemoved = sieve.deleted[sysExTally - 1];
    counts.changed = counts.controllersRemoved != 0 || counts.sysExRemoved != 0;
}

/// Tallies what `sieve` deleted into `counts`, then inserts the resets the options ask for into
/// the song's first `trackCount` tracks.
void finishCleaning(Song& song, std::size_t trackCount, const EventSieve& sieve,
    const CleanOptions& options, CleanCounts& counts)
{
    tally(sieve, counts);

    bool atBeginning = options.BeginningOfFile != 0;
    bool atEnd = options.EndOfFile != 0;
    if (options.InsertMidiReset != 0 && (atBeginning || atEnd))
        for (std::size_t t = 0; t < trackCount; ++t)
            insertTrackResets(song.tracks[t], atBeginning, atEnd, counts);
}

} // namespace

CleanCounts cleanSong(Song& song, const CleanOptions& options)
{
    CleanCounts counts;
    std::size_t trackCount = std::min(
        song.tracks.size(), static_cast<std::size_t>(std::max<std::int16_t>(song.trackCount, 0)));
    EventSieve sieve = sieveFor(options);
    if (deletesAnything(options))
        for (std::size_t t = 0; t < trackCount; ++t)
            compactTrack(song.tracks[t], sieve);
    finishCleaning(song, trackCount, sieve, options, counts);
    return counts;
}

bool readCleanSong(Song& song, MidiBuffer& buffer, Notifier& notifier, const CleanOptions& options,
    CleanCounts& counts)
{
    counts = CleanCounts();
    EventSieve sieve = sieveFor(options);
    if (!song.read(buffer, notifier, deletesAnything(options) ? &sieve : nullptr))
        return false;
    finishCleaning(song, song.tracks.size(), sieve, options, counts);
    return true;
}

bool insertsNothing(const CleanOptions& options)
{
    return options.InsertMidiReset == 0 || (options.BeginningOfFile == 0 && options.EndOfFile == 0);
}

SievedWrite cleanWhileReading(MidiBuffer& buffer, Notifier& notifier, const CleanOptions& options,
    std::uint8_t* block, std::size_t capacity, std::size_t& written, CleanCounts& counts,
    const GrowBlock& grow)
{
    counts = CleanCounts();
    EventSieve sieve = sieveFor(options);
    const SievedWrite result = writeSieved(buffer, notifier, sieve, block, capacity, written, grow);
    tally(sieve, counts);
    return result;
}

std::size_t cleanedSizeBound(const Song& song, std::size_t imageSize, const CleanCounts& counts)
{
    // No event is written longer than it was read but for the status byte that running
    // status left out: a deleted event's delta passed on lengthens the next one's by fewer
    // bytes than the deleted event took. Each reset is 4 bytes.
    std::size_t bound = imageSize + 4 * static_cast<std::size_t>(counts.resetsInserted);
    for (const Track& track : song.tracks)
        bound += track.events.size();
    return bound;
}

} // namespace sorvanel
