#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/Song.h"
#include "song/SongDump.h"

#include <new>
#include <ostream>

namespace sorvanel {

int runDump(const CommandContext& context)
{
    const std::string& path = context.arguments.front();
    try {
        std::vector<std::uint8_t> image;
        context.files.readWhole(path, image);
        Song song;
        if (!song.readImage(image, path, context.notifier))
            return 1;
        context.out << "# track tick +delta status meta length: data\n";
        for (const std::string& line : dumpSong(song))
            context.out << line << '\n';
        return 0;
    } catch (const FileError& error) {
        context.notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        context.notifier.notify(outOfMemoryText);
    }
    return 1;
}

} // namespace sorvanel
