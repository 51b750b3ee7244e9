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

// Every command takes its options anywhere among its arguments and "--" before names that
// start with "-". It returns 0 when every file was done, 1 when a file (also one found in a
// folder) was broken or could not be read or written or a folder could not be listed, and 2
// for a command line it cannot take. File names and titles are printed with their control
// characters escaped, one line per file.

/// Prints each file's name and "valid" or the reader's message.
int runCheck(const CommandContext& context);
/// Prints each song's name, a tab and its title; a folder stands for the songs the file list
/// shows of it.
int runTitle(const CommandContext& context);
/// Prints every event of one file.
int runDump(const CommandContext& context);
/// Cleans files and the song files of folders with the options given, printing the log. A
/// file named that is not a song file by its name, or options that do not pass the dialog's
/// checks, give 2 before anything is touched; the run stops at a file that fails.
int runClean(const CommandContext& context);
/// Gives files and the song files of folders their backups' bytes back, printing what was
/// restored; files without a backup are passed over, and so are songs changed since their
/// clean (which fails the command) unless their bytes may go to the trash.
int runRestore(const CommandContext& context);
/// Lists the names, defaults and meanings of the options `clean` takes.
int runOptions(const CommandContext& context);

} // namespace sorvanel
