#include "song/SongTitle.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <limits>
#include <new>
#include <vector>

namespace sorvanel {

std::string findSongTitle(const Song& song)
{
    for (const Track& track : song.tracks) {
        for (const MidiEvent& event : track.events) {
            if (isTitleEvent(event)) {
                const auto* data = reinterpret_cast<const char*>(track.data(event));
                return std::string(data, static_cast<std::size_t>(event.length));
            }
        }
    }
    return {};
}

bool SongTitleReader::read(MidiFileEntry& entry, FileOps& files, Notifier& notifier)
{
    entry.title.clear();
    try {
        files.readWhole(entry.fullPath, m_image);
        if (m_image.empty())
            return true;
        if (m_image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            // What `Song::readImage` says of an image too large for a cursor.
            Song song;
            return song.readImage(m_image, entry.fullPath, notifier);
        }
        // The file is checked in full as the reader does, but no event is kept.
        MidiBuffer buffer(
            m_image.data(), static_cast<std::int32_t>(m_image.size()), entry.fullPath);
        if (scanSongTitle(buffer, notifier, entry.title))
            return true;
    } catch (const FileError& error) {
        notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
    }
    entry.title.clear();
    return false;
}

bool readSongTitle(MidiFileEntry& entry, FileOps& files, Notifier& notifier)
{
    return SongTitleReader().read(entry, files, notifier);
}

} // namespace sorvanel
