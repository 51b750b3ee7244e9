#include "cleaning/Restore.h"

#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <new>

namespace sorvanel {

bool hasBackup(FileOps& files, const std::string& path)
{
    try {
        const bool gone = files.kindOf(path) == EntryKind::Missing;
        const std::string backup = backupPathOf(gone ? path : files.resolveLinks(path));
        if (files.kindOf(backup) != EntryKind::File)
            return false;
        if (gone)
            return true;
        auto saved = files.examine(backup);
        if (saved && saved->size == 0) {
            auto now = files.examine(path);
            return !now || now->size == 0;
        }
        return true;
    } catch (const FileError&) {
        return false;
    }
}

namespace {

enum class Outcome { Restored, NoBackup, Changed };

/// Gives one file its backup's bytes back; see `restoreFiles`.
/// Gives one file its backup's bytes back; see `restoreFiles`. Sets `target` to the file
/// `path` leads to.
Outcome restoreFile(FileOps& files, const std::string& path, ChangedFiles changed,
    Notifier& notifier, Language language, std::string& target)
{
    const bool gone = files.kindOf(path) == EntryKind::Missing;
    // A linked song's backup stands beside the file the link leads to.
    target = gone ? path : files.resolveLinks(path);
    if (!mayBeSong(nameOf(target)))
        throw FileError(
            "Cannot restore", path, "it leads to \"" + target + "\", which is not a song file");
    const std::string backup = backupPathOf(target);
    if (files.kindOf(backup) != EntryKind::File)
        return Outcome::NoBackup;
    // Renamed, a link would make the song a link to another file.
    if (files.resolveLinks(backup) != backup)
        throw FileError("Cannot restore", target,
            "its backup \"" + backup + "\" is a link, not a copy of its former contents");
    auto saved = files.examine(backup);
    if (!saved)
        throw FileError("Cannot examine", backup, EIO);
    if (gone) {
        // Whatever took the name meanwhile stays.
        files.renameNoReplace(backup, target);
        return Outcome::Restored;
    }
    auto now = files.examine(target);
    if (!now)
        throw FileError("Cannot examine", target, EIO);
    if (now->identity == saved->identity)
        throw FileError("Cannot restore", target,
            "it and its backup \"" + backup + "\" are one file, which holds no other contents");
    if (saved->size == 0 && now->size > 0)
        return Outcome::NoBackup; // an empty file beside a song holds none of its bytes
    // The same rule as a clean's: a write-protected file is not replaced.
    files.checkWritable(target);
    // Written after its backup was made (which a rename or second name marks): edits, or a
    // backup another program made. Replacing it would lose them.
    if (now->modified > std::max(saved->changed, saved->modified)) {
        if (changed == ChangedFiles::Keep) {
            char text[4096];
            std::snprintf(text, sizeof text,
                std::string(Texts::ChangedAfterCleaning.pick(language)).c_str(), target.c_str());
            notifier.notify(text);
            return Outcome::Changed;
        }
        files.moveToTrash(target);
        try {
            files.renameNoReplace(backup, target);
        } catch (const FileError& failure) {
            throw FileError(failure, ". Its contents before are in the trash.");
        }
        return Outcome::Restored;
    }
    // One rename: the cleaned bytes are replaced at once, and can be made again.
    files.renameReplace(backup, target);
    return Outcome::Restored;
}

} // namespace

RestoreRunResult restoreFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, FileOps& files, Notifier& notifier, Language language,
    const RunProgress& progress, ChangedFiles changed)
{
    RestoreRunResult result;
    std::map<std::string, std::string> foldersWritten;
    auto eachFile = [&] {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::size_t row = rows[i];
            if (row >= entries.size())
                continue;
            const MidiFileEntry& entry = entries[row];
            if (!goesOn(progress, i, rows.size(), entry.fileName)) {
                result.cancelled = true;
                break;
            }
            std::string target;
            switch (restoreFile(files, entry.fullPath, changed, notifier, language, target)) {
            case Outcome::Changed:
                result.changedRows.push_back(row);
                continue;
            case Outcome::Restored:
                foldersWritten.emplace(folderOf(target), target);
                result.restoredRows.push_back(row);
                break;
            case Outcome::NoBackup:
                break;
            }
            result.finishedRows.push_back(row);
        }
    };
    runThenFlush(files, notifier, eachFile, foldersWritten, result.stoppedEarly, result.syncFailed);

    if (result.restoredRows.empty()) {
        result.logLines.emplace_back(Texts::NoOriginalRestored.pick(language));
    } else {
        result.logLines.reserve(result.restoredRows.size() + 2);
        result.logLines.emplace_back(Texts::RestoredHeader.pick(language));
        result.logLines.emplace_back();
        for (std::size_t row : result.restoredRows)
            result.logLines.push_back(entries[row].fileName);
    }
    return result;
}

} // namespace sorvanel
