#include "song/SongTitle.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <new>
#include <vector>

namespace sorvanel {

std::string findSongTitle(const Song& song)
{
    for (const Track& track : song.tracks) {
        for (const MidiEvent& event : track.events) {
            if (event.status == 0xFF && event.metaType == 0x03 && event.length >= 1) {
                const auto* data = reinterpret_cast<const char*>(event.data());
                return std::string(data, static_cast<std::size_t>(event.length));
            }
        }
    }
    return {};
}

bool readSongTitle(MidiFileEntry& entry, FileOps& files, Notifier& notifier)
{
    entry.title.clear();
    try {
        std::vector<std::uint8_t> image;
        files.readWhole(entry.fullPath, image);
        if (image.empty())
            return true;
        Song song;
        if (!song.readImage(image, entry.fullPath, notifier))
            return false;
        entry.title = findSongTitle(song);
        return true;
    } catch (const FileError& error) {
        notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
    }
    entry.title.clear();
    return false;
}

} // namespace sorvanel
