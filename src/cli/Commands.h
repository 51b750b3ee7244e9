#pragma once

#include "cleaning/RunProgress.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace sorvanel {

class FileOps;
class Notifier;

/// What every command of the tool gets: its arguments (without the command name), where to
/// print results, the file system and where messages go. A command returns the exit status.
struct CommandContext
{
    const std::vector<std::string>& arguments;
    std::ostream& out;
    FileOps& files;
    Notifier& notifier;
    /// Told of each file of a long run; empty when nobody watches.
    RunProgress progress = {};
};

/// Prints each file's name and "valid" or the reader's message; 1 when any file is invalid.
int runCheck(const CommandContext& context);
/// Prints each listed file's name, a tab and its title; 1 when any file cannot be listed.
int runTitle(const CommandContext& context);
/// Prints every event of one file; 1 when it cannot be read.
int runDump(const CommandContext& context);
/// Cleans files and the song files of folders with the options given, printing the log;
/// 1 when the run stopped at a file, a folder's file was left out or the written files could
/// not be flushed; 2 for wrong usage, options that do not pass the checks or a named file
/// that is not a song file (then nothing is touched).
int runClean(const CommandContext& context);
/// Gives files and the song files of folders their backups' bytes back, printing what was
/// restored; files without a backup are passed over. 1 when a file stopped the run, 2 for
/// wrong usage.
int runRestore(const CommandContext& context);

} // namespace sorvanel
