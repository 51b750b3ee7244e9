#pragma once

#include <string>
#include <vector>

namespace sorvanel {

class Song;

/// The song as text: a header line, then one line per track and per event (track, absolute
/// tick, delta, status, meta type, length, data in hex). Used by the command-line tool and to
/// compare songs in tests.
std::vector<std::string> dumpSong(const Song& song);

} // namespace sorvanel
