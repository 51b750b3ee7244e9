#pragma once

#include "cleaning/RunProgress.h"
#include "song/MidiFileEntry.h"

#include <string>
#include <string_view>
#include <vector>

namespace sorvanel {

class FileOps;
class Notifier;

/// Orders file names: byte by byte with A … Z folded to a … z and every other byte unsigned
/// and unfolded; a name that is a prefix of the other comes first. Negative, zero or positive.
int CompareEntryNames(std::string_view a, std::string_view b);

/// Sorts by `fileName` with `CompareEntryNames`. A Shell sort with gaps n/2, n/4 … 1, so that
/// names that compare equal end up in the same order as they always have.
void sortEntries(std::vector<MidiFileEntry>& entries);

/// Whether a folder item belongs in the file list by its name and kind: not hidden, not a
/// folder, and ending in ".mid" in any letter case.
bool isListableName(std::string_view name);

/// Whether the file a named song's links lead to may be rewritten as a song by its name: not
/// hidden (a temporary file) and not a backup ("*.bak" in any letter case).
bool mayBeSong(std::string_view name);

/// What a song's backup adds to its name: "a.mid" keeps its former bytes as "a.mid.bak".
inline constexpr std::string_view backupSuffix = ".bak";

/// The name under which a clean run keeps a file's former contents: "<path>.bak".
std::string backupPathOf(const std::string& path);

/// Whether `name` is a song's backup: a listable name followed by ".bak" in any letter case.
bool isBackupName(std::string_view name);

/// The path of `name` inside `folder`.
std::string joinPath(const std::string& folder, const std::string& name);

/// The song files of `folder` as the file list shows them: every listable `*.mid` file (a
/// regular file or a link to one; never a folder, pipe or socket) that the title lookup
/// accepts (a refused one is left out after its message), sorted. Throws `FileError` when the
/// folder cannot be listed. `progress` is asked before each file is read; when it stops the
/// scan, the files read so far are the result.
std::vector<MidiFileEntry> listMidiFiles(const std::string& folder, FileOps& files,
    Notifier& notifier, const RunProgress& progress = {});

/// As `listMidiFiles`, but without reading the files: every listable one, sorted and marked
/// `unchecked`, for a clean run that leaves out the broken ones as it meets them.
std::vector<MidiFileEntry> listUncheckedMidiFiles(const std::string& folder, FileOps& files);

/// As `listMidiFiles`, and then folder by folder the song files of its sub-folders, each
/// folder's files sorted and its sub-folders taken in the order of `CompareEntryNames`. Hidden
/// folders are skipped and links to folders are not followed, so each folder is listed once.
/// An entry's `fileName` is its path relative to `folder`. A sub-folder that cannot be listed
/// is left out after its message; `folder` itself throws `FileError` as above. `progress` is
/// asked as by `listMidiFiles`, folder by folder. With `unchecked`, each folder's files are
/// listed as `listUncheckedMidiFiles` lists them.
std::vector<MidiFileEntry> listMidiFilesWithSubfolders(const std::string& folder, FileOps& files,
    Notifier& notifier, const RunProgress& progress = {}, bool unchecked = false);

/// What a restore of `folder` (with `includeSubfolders` and its sub-folders, as by
/// `listMidiFilesWithSubfolders`) takes: every listable song, not read (a damaged one most
/// needs its backup), and the name of every song that is gone where its "*.mid.bak" is there,
/// each folder's sorted and marked `unchecked`. Throws `FileError` when `folder` cannot be
/// listed.
std::vector<MidiFileEntry> listRestorableFiles(
    const std::string& folder, FileOps& files, Notifier& notifier, bool includeSubfolders = false);

/// As `listMidiFiles` (or with `includeSubfolders` `listMidiFilesWithSubfolders`), but a
/// folder that is empty, missing or cannot be listed simply gives no entries.
std::vector<MidiFileEntry> scanFolder(const std::string& folder, FileOps& files, Notifier& notifier,
    bool includeSubfolders = false, const RunProgress& progress = {});

} // namespace sorvanel
