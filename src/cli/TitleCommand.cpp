#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "song/SongTitle.h"

#include <ostream>

namespace sorvanel {

int runTitle(const CommandContext& context)
{
    int status = 0;
    SongTitleReader titles;
    for (const std::string& path : context.arguments) {
        MidiFileEntry entry;
        entry.fullPath = path;
        entry.fileName = nameOf(path);
        if (!titles.read(entry, context.files, context.notifier)) {
            status = 1;
            continue;
        }
        context.out << path << '\t' << (entry.title.empty() ? "<no title found>" : entry.title)
                    << '\n';
    }
    return status;
}

} // namespace sorvanel
