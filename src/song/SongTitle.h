#pragma once

#include "song/MidiFileEntry.h"

namespace sorvanel {

class FileOps;
class Notifier;
class Song;

/// Reads `entry.fullPath` whole and fills `entry.title`. Returns false when the file must not
/// be listed: it could not be read (the failure's text has been shown) or it is not a valid
/// song file (the reader's message has been shown). An empty file is listed, without title.
bool readSongTitle(MidiFileEntry& entry, FileOps& files, Notifier& notifier);

/// The data of the first track-name meta event with at least one byte, searching the tracks
/// in order; empty when there is none.
std::string findSongTitle(const Song& song);

} // namespace sorvanel
