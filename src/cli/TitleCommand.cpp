#include "cleaning/FileList.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/SongTitle.h"

#include <ostream>

namespace sorvanel {

namespace {

void printTitle(std::ostream& out, const std::string& path, const std::string& title)
{
    out << path << '\t' << (title.empty() ? "<no title found>" : title) << '\n';
}

} // namespace

int runTitle(const CommandContext& context)
{
    int status = 0;
    bool recursive = false;
    bool onlyPaths = false;
    SongTitleReader titles;
    for (const std::string& path : context.arguments) {
        if (!onlyPaths && path == "--recursive") {
            recursive = true;
            continue;
        }
        if (!onlyPaths && path == "--") {
            onlyPaths = true;
            continue;
        }
        // Through the file layer: it reads the UTF-8 name as such on every system.
        if (context.files.kindOf(path) == EntryKind::Folder) {
            // A folder stands for the songs the file list shows of it.
            try {
                auto listed = recursive
                    ? listMidiFilesWithSubfolders(path, context.files, context.notifier)
                    : listMidiFiles(path, context.files, context.notifier);
                for (const MidiFileEntry& entry : listed)
                    printTitle(context.out, entry.fullPath, entry.title);
            } catch (const FileError& failure) {
                context.notifier.notify(failure.what());
                status = 1;
            }
            continue;
        }
        MidiFileEntry entry;
        entry.fullPath = path;
        entry.fileName = nameOf(path);
        if (!titles.read(entry, context.files, context.notifier)) {
            status = 1;
            continue;
        }
        printTitle(context.out, path, entry.title);
    }
    return status;
}

} // namespace sorvanel
