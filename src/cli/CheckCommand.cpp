#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <new>
#include <ostream>

namespace sorvanel {

int runCheck(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, AcceptedOptions::None, context.notifier);
    if (!arguments)
        return wrongUsage;
    int status = 0;
    std::vector<std::uint8_t> image;
    Song song;
    for (const std::string& path : arguments->paths) {
        // The messages are the result here, so they go to the output with the file's name.
        RecordingNotifier messages;
        try {
            context.files.readWhole(path, image);
            song.clear();
            // An empty file is a valid entry with nothing in it, as the file list shows it.
            if (!image.empty())
                song.readImage(image, path, messages);
        } catch (const FileError& error) {
            messages.notify(error.what());
        } catch (const std::bad_alloc&) {
            messages.notify(outOfMemoryText);
        }
        context.out << printable(path) << '\t';
        if (messages.texts.empty()) {
            context.out << "valid\n";
            continue;
        }
        status = 1;
        for (std::size_t i = 0; i < messages.texts.size(); ++i)
            context.out << (i > 0 ? " " : "") << printable(messages.texts[i]);
        context.out << '\n';
    }
    return status;
}

} // namespace sorvanel
