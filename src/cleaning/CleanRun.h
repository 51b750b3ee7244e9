#pragma once

#include "cleaning/CleanOptions.h"
#include "cleaning/RunProgress.h"
#include "platform/FileOps.h"
#include "settings/Language.h"
#include "song/MidiFileEntry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvanel {

class Notifier;

/// What a clean run leaves for its caller to show.
struct CleanRunResult
{
    /// The log: the header, an empty line and one line per changed file; or only the line
    /// that says no file was changed.
    std::vector<std::string> logLines;
    /// The rows the run got through (changed, unchanged or empty), in processing order; the
    /// caller takes them out of the selection.
    std::vector<std::size_t> finishedRows;
    /// True when a file stopped the run: it and the rows after it were not finished.
    bool stoppedEarly = false;
    /// True when the progress callback stopped the run between two files.
    bool cancelled = false;
    /// True when what was written could not be flushed to disk (the message has been shown).
    bool syncFailed = false;
    /// How many unchecked entries were left out after their message.
    std::size_t leftOut = 0;
};

/// Reads, cleans and rewrites the files of `rows` (indices into `entries`, ascending; an index
/// outside `entries` is passed over) with the confirmed `options`. A changed file is rewritten
/// as a bare Standard MIDI File; unless "<name>.bak" exists, the former file becomes that
/// backup. A file named twice (through a link, a second hard link, "./") is cleaned once, at
/// its first row; the other rows count as finished. The run stops at the first file the
/// reader refuses or that cannot be encoded (the message has been shown), and at the first
/// file or memory failure (its text is shown through `notifier`); an `unchecked` entry that
/// cannot be read or is refused is left out after its message instead. Whatever stops it, the
/// file's own name holds its former bytes or the complete new ones and an existing backup is
/// untouched. At the end every folder written is flushed to disk. `language` picks the
/// no-change line.
/// With `dryRun` everything happens as usual except that no file is written or renamed.
/// A file whose cleaned bytes equal its current ones counts as unchanged. `progress` is asked
/// before each row and may stop the run there.
CleanRunResult cleanFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, const CleanOptions& options, FileOps& files,
    Notifier& notifier, Language language, bool dryRun = false, const RunProgress& progress = {});

/// Puts `size` bytes under `path`, keeping the former contents (`former`, as just read) as
/// "<path>.bak" unless such a backup exists already. Only a regular file counts as a backup,
/// and it is never replaced; with one in place the file must be writable for the user. When
/// `path` is a link, the file it leads to is rewritten, with its backup beside it; a link
/// to something not named as a song is refused. The new contents go to a temporary file in
/// the same folder first; whatever step fails or wherever the process dies, the name holds
/// the former bytes or the complete new ones and a backup holds the former bytes. When the
/// file no longer matches `asRead` (a look taken before it was read) just before its name
/// takes the new contents, nothing is replaced and the file is refused. Returns the path
/// rewritten. Throws `FileError`.
std::string replaceKeepingBackup(FileOps& files, const std::string& path, const std::uint8_t* data,
    std::size_t size, const std::uint8_t* former, std::size_t formerSize,
    const std::optional<FileFacts>& asRead = std::nullopt);

/// Whether the file `target` (no link) has a backup that a rewrite keeps; throws `FileError`
/// when what stands under the backup's name is no backup (an empty file beside `formerSize`
/// bytes included), or when there is one and the user may not write `target`.
bool checkBackupName(FileOps& files, const std::string& target, std::size_t formerSize);

/// Removes from `folder` the temporary files of this user whose bytes also stand under a
/// song's or a backup's name there: what a run that died left. Failures are ignored.
void removeLeftovers(FileOps& files, const std::string& folder);

/// Flushes `folder` to disk, or where it may not be read, through `written` (a file written
/// there); a failure is told through `notifier` and sets `failed`.
void syncWritten(FileOps& files, const std::string& folder, const std::string& written,
    Notifier& notifier, bool& failed);

/// The end that the runs writing files share: runs `eachFile`, where a file error or exhausted
/// memory stops the run with its message and sets `stoppedEarly`; then flushes each folder of
/// `foldersWritten` (a folder and a file written there) with `syncWritten`, after
/// `beforeFlush(folder)` when given.
void runThenFlush(FileOps& files, Notifier& notifier, const std::function<void()>& eachFile,
    const std::map<std::string, std::string>& foldersWritten, bool& stoppedEarly, bool& syncFailed,
    const std::function<void(const std::string& folder)>& beforeFlush = {});

/// "%s\t%4d\t%4d\t%4d": the file name and the three counts.
std::string formatLogLine(const std::string& fileName, std::int32_t sysExRemoved,
    std::int32_t controllersRemoved, std::int32_t resetsInserted);

} // namespace sorvanel
