#pragma once

#include "song/MidiFileEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace sorvanel {

struct CommandContext;

/// The files that FILE|FOLDER arguments stand for, shared by the commands that change files.
struct FileArguments
{
    std::vector<MidiFileEntry> entries;
    /// How many sub-folders could not be listed (after their messages).
    std::size_t leftOut = 0;
};

/// Resolves FILE|FOLDER arguments: every named file is checked before any is touched, and one
/// that is not a song file by its name is refused (status 2). A folder gives its *.mid files in
/// the file list's order, for `restoring` also the names of gone songs whose backups are there;
/// a sub-folder that cannot be listed is left out after its message, a folder given that cannot
/// be listed stops everything (status 1). No song is read here: a clean run leaves out the
/// broken ones as it meets them, so each file is parsed once, and restoring reads none. With
/// several arguments each file is named by its path, else by its name in the folder given.
/// Null with `status` set when the command must end.
std::optional<FileArguments> resolveFileArguments(const std::vector<std::string>& paths,
    bool recursive, bool restoring, const CommandContext& context, int& status);

/// The row numbers of all `entries`, for the runs that take the rows chosen.
std::vector<std::size_t> everyRow(const std::vector<MidiFileEntry>& entries);

} // namespace sorvanel
