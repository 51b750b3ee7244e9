#include "cleaning/FileList.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"
#include "song/SongTitle.h"

#include <ostream>

namespace sorvanel {

namespace {

void printTitle(std::ostream& out, const std::string& path, const std::string& title)
{
    out << printable(path) << '\t'
        << (title.empty() ? std::string(Texts::NoTitleFound) : printable(title)) << '\n';
}

} // namespace

int runTitle(const CommandContext& context)
{
    auto arguments =
        parseArguments(context.arguments, AcceptedOptions::Recursive, context.notifier);
    if (!arguments)
        return wrongUsage;
    int status = 0;
    SongTitleReader titles;
    for (const std::string& path : arguments->paths) {
        // Read as a song first, which needs no look at the name of its own: most arguments
        // are songs. What cannot be read is looked at, through the file layer (it reads the
        // UTF-8 name as such on every system); a folder stands for the songs the file list
        // shows of it, anything else shows why it was not read.
        MidiFileEntry entry;
        entry.fullPath = path;
        entry.fileName = nameOf(path);
        RecordingNotifier refusal;
        if (titles.read(entry, context.files, refusal)) {
            printTitle(context.out, path, entry.title);
            continue;
        }
        if (context.files.kindOf(path) == EntryKind::Folder) {
            // A song of it that cannot be read, or a sub-folder that cannot be listed, is
            // left out after its message and fails the command.
            CountingNotifier listing(context.notifier);
            try {
                auto listed = arguments->recursive
                    ? listMidiFilesWithSubfolders(path, context.files, listing)
                    : listMidiFiles(path, context.files, listing);
                for (const MidiFileEntry& song : listed)
                    printTitle(context.out, song.fullPath, song.title);
                if (listing.count > 0)
                    status = 1;
            } catch (const FileError& failure) {
                context.notifier.notify(failure.what());
                status = 1;
            }
            continue;
        }
        for (const std::string& text : refusal.texts)
            context.notifier.notify(text);
        status = 1;
    }
    return status;
}

} // namespace sorvanel
