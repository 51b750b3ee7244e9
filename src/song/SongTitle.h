#pragma once

#include "song/MidiFileEntry.h"

#include <cstdint>
#include <vector>

namespace sorvanel {

class FileOps;
class Notifier;
class Song;

/// Looks up the titles of one file after another, keeping its file image from one to the next
/// so that a folder of songs touches fresh memory only for its largest file.
class SongTitleReader
{
public:
    /// Reads `entry.fullPath` whole and fills `entry.title`. Returns false when the file must
    /// not be listed: it could not be read (the failure's text has been shown) or it is not a
    /// valid song file (the reader's message has been shown). An empty file is listed, without
    /// title.
    bool read(MidiFileEntry& entry, FileOps& files, Notifier& notifier);

private:
    std::vector<std::uint8_t> m_image;
};

/// `SongTitleReader::read` for a single file.
bool readSongTitle(MidiFileEntry& entry, FileOps& files, Notifier& notifier);

/// The data of the first track-name meta event with at least one byte, searching the tracks
/// in order; empty when there is none.
std::string findSongTitle(const Song& song);

} // namespace sorvanel
