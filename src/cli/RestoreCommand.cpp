#include "cleaning/Restore.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileArguments.h"
#include "platform/Notifier.h"

#include <ostream>

namespace sorvanel {

int runRestore(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, AcceptedOptions::Restore, context.notifier);
    if (!arguments)
        return wrongUsage;
    // Restoring renames backups and reads no song, so a broken one is no reason to fail; a
    // song changed since its clean is, unless its current bytes may go to the trash.
    int status = 0;
    auto resolved =
        resolveFileArguments(arguments->paths, arguments->recursive, true, context, status);
    if (!resolved)
        return status;
    RestoreRunResult result = restoreFiles(resolved->entries, everyRow(resolved->entries),
        context.files, context.notifier, UiLanguage(), context.progress,
        arguments->trashChanged ? ChangedFiles::ToTrash : ChangedFiles::Keep);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly || result.syncFailed || !result.changedRows.empty()
            || resolved->leftOut > 0
        ? 1
        : 0;
}

} // namespace sorvanel
