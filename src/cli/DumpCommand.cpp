#include "cli/Arguments.h"
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
    auto arguments = parseArguments(context.arguments, AcceptedOptions::None, context.notifier);
    if (!arguments)
        return wrongUsage;
    if (arguments->paths.size() > 1) {
        reportUsageError(context.notifier, "dump takes one FILE");
        return wrongUsage;
    }
    const std::string& path = arguments->paths.front();
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
