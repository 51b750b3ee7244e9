#pragma once

#include "cleaning/RunProgress.h"
#include "settings/Language.h"
#include "song/MidiFileEntry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace sorvanel {

class FileOps;
class Notifier;

/// What restoring originals leaves for its caller to show.
struct RestoreRunResult
{
    /// The log: a header, an empty line and the name of each restored file; or only the line
    /// that says nothing was restored.
    std::vector<std::string> logLines;
    /// The rows the run got through (restored or without a backup), in processing order.
    std::vector<std::size_t> finishedRows;
    /// The rows whose file got its backup's bytes back.
    std::vector<std::size_t> restoredRows;
    /// True when a failure stopped the run: that row and the rows after it were not finished.
    bool stoppedEarly = false;
    /// True when the progress callback stopped the run between two files.
    bool cancelled = false;
    /// True when a renamed folder could not be flushed to disk (the message has been shown).
    bool syncFailed = false;
    /// The rows passed over because their file changed after its backup was made (each named
    /// in a message); `ChangedFiles::ToTrash` restores them.
    std::vector<std::size_t> changedRows;
};

/// What a restore does with a file that changed after its backup was made.
enum class ChangedFiles {
    Keep, ///< it is passed over, named in a message
    ToTrash, ///< its current bytes go to the desktop's trash and the backup takes its name
};

/// Whether `path` has a backup to restore: a regular file, also behind a link, under the
/// backup's name beside the file `path` leads to (beside `path` when its name is gone).
/// Anything else there, or an empty file beside a file that is not, holds no former
/// contents. Never throws.
bool hasBackup(FileOps& files, const std::string& path);

/// Gives each file of `rows` (indices into `entries`; an index outside them is passed over)
/// its backup's bytes back by renaming the backup over it (over the file a link leads to): the
/// file's name holds its current or its former bytes at every moment, and afterwards the backup is
/// gone. A file whose name is gone gets it back from its backup, never replacing what took the
/// name meanwhile. Files without a backup are passed over. A file written after its backup was
/// made is passed over with a message naming it (`changed` says otherwise). A file the user may
/// not write, one that is its own backup, a backup that is a link and the first failing rename
/// stop the run with the text shown through `notifier`; that file and its backup are then as
/// they were. `language` picks the log's texts; `progress` is asked before each row and may stop
/// the run there. At the end each folder renamed in is flushed to disk.
RestoreRunResult restoreFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, FileOps& files, Notifier& notifier, Language language,
    const RunProgress& progress = {}, ChangedFiles changed = ChangedFiles::Keep);

} // namespace sorvanel
