#pragma once

#include "cleaning/CleanOptions.h"
#include "song/Song.h"

#include <cstddef>
#include <cstdint>

namespace sorvanel {

/// What cleaning did to one song.
struct CleanCounts
{
    std::int32_t sysExRemoved = 0; ///< F0 and F7 events deleted
    std::int32_t controllersRemoved = 0; ///< control-change and pitch-bend events deleted
    std::int32_t resetsInserted = 0; ///< Reset All Controllers events inserted
    bool changed = false;

    friend bool operator==(const CleanCounts&, const CleanCounts&) = default;
};

/// Deletes the SysEx and controller events the options condemn from every track, then inserts
/// Reset All Controllers (controller 121, value 0) for every channel a track uses, before its
/// first channel event and/or before its End-of-Track, where none stands yet. A deleted
/// event's delta passes to the event after it, so every remaining event keeps its time.
///
/// Runs in time linear in the number of events: each track is compacted in one pass and the
/// resets of each place are inserted as one block.
CleanCounts cleanSong(Song& song, const CleanOptions& options);

/// Reads a song from `buffer` into the empty `song` and cleans it as `cleanSong` does, but
/// leaves the deleted events out while it reads, so a batch goes over each event once. False
/// when the song is refused (its message shown through `notifier`).
bool readCleanSong(Song& song, MidiBuffer& buffer, Notifier& notifier, const CleanOptions& options,
    CleanCounts& counts);

/// Whether the options only delete: then `cleanWhileReading` can do the whole clean.
bool insertsNothing(const CleanOptions& options);

/// Cleans the song in `buffer` as `readCleanSong` and `Song::write` would, in one pass that
/// keeps no events (see `writeSieved`, which `grow` is passed to); only for options that
/// insert nothing.
SievedWrite cleanWhileReading(MidiBuffer& buffer, Notifier& notifier, const CleanOptions& options,
    std::uint8_t* block, std::size_t capacity, std::size_t& written, CleanCounts& counts,
    const GrowBlock& grow = {});

/// At least the bytes `song` encodes into after `readCleanSong` read it from an image of
/// `imageSize` bytes, without a pass over its events: enough for the output block.
std::size_t cleanedSizeBound(const Song& song, std::size_t imageSize, const CleanCounts& counts);

} // namespace sorvanel
