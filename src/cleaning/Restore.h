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
};

/// The name under which a clean run keeps a file's former contents: "<path>.bak".
std::string backupPathOf(const std::string& path);

/// Whether `path` has a backup to restore: a regular file, also behind a link, under the
/// backup's name beside the file `path` leads to. Anything else there holds no former
/// contents. Never throws.
bool hasBackup(FileOps& files, const std::string& path);

/// Gives each file of `rows` (indices into `entries`; an index outside them is passed over)
/// its backup's bytes back by renaming the backup over it (over the file a link leads to): the
/// file's name holds its current or its former bytes at every moment, and afterwards the backup is
/// gone. Files without a backup are passed over. The first failing rename stops the run with its
/// text shown through `notifier`; that file and its backup are then as they were. `language` picks
/// the log's texts; `progress` is asked before each row and may stop the run there. At the end each
/// folder renamed in is flushed to disk.
RestoreRunResult restoreFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, FileOps& files, Notifier& notifier, Language language,
    const RunProgress& progress = {});

} // namespace sorvanel
