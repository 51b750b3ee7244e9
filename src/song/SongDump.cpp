#include "song/SongDump.h"

#include "song/Song.h"

#include <cstdio>

namespace sorvanel {

std::vector<std::string> dumpSong(const Song& song)
{
    std::vector<std::string> lines;
    char text[160];
    std::snprintf(text, sizeof text, "format %u tracks %zu division %d", unsigned{song.format},
        song.tracks.size(), int{song.division});
    lines.emplace_back(text);
    static constexpr char hexDigits[] = "0123456789abcdef";
    for (std::size_t t = 0; t < song.tracks.size(); ++t) {
        const Track& track = song.tracks[t];
        std::snprintf(text, sizeof text, "track %zu events %zu", t, track.events.size());
        lines.emplace_back(text);
        std::int64_t tick = 0;
        for (const MidiEvent& event : track.events) {
            tick += event.delta;
            std::snprintf(text, sizeof text, "%zu %lld +%d %02x", t, static_cast<long long>(tick),
                int{event.delta}, unsigned{event.status});
            std::string line = text;
            if (event.status == 0xFF) {
                std::snprintf(text, sizeof text, " %02x", unsigned{event.metaType});
                line += text;
            } else {
                line += " --";
            }
            line += " len " + std::to_string(event.length);
            if (event.length > 0) {
                line += ':';
                const std::uint8_t* data = track.data(event);
                for (std::int32_t i = 0; i < event.length; ++i) {
                    line += ' ';
                    line += hexDigits[data[i] >> 4];
                    line += hexDigits[data[i] & 0x0F];
                }
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

} // namespace sorvanel
