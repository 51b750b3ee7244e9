#include "cleaning/Restore.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"

#include <new>
#include <set>

namespace sorvanel {

std::string backupPathOf(const std::string& path)
{
    return path + ".bak";
}

bool hasBackup(FileOps& files, const std::string& path)
{
    try {
        return files.kindOf(backupPathOf(files.resolveLinks(path))) == EntryKind::File;
    } catch (const FileError&) {
        return false;
    }
}

RestoreRunResult restoreFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, FileOps& files, Notifier& notifier, Language language,
    const RunProgress& progress)
{
    RestoreRunResult result;
    std::set<std::string> foldersWritten;
    try {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::size_t row = rows[i];
            if (row >= entries.size())
                continue;
            const MidiFileEntry& entry = entries[row];
            if (!goesOn(progress, i, rows.size(), entry.fileName)) {
                result.cancelled = true;
                break;
            }
            // A linked song's backup stands beside the file the link leads to.
            std::string target = files.resolveLinks(entry.fullPath);
            std::string backup = backupPathOf(target);
            if (files.kindOf(backup) == EntryKind::File) {
                // One rename: the cleaned bytes are replaced at once, and can be made again.
                files.renameReplace(backup, target);
                foldersWritten.insert(folderOf(target));
                result.restoredRows.push_back(row);
            }
            result.finishedRows.push_back(row);
        }
    } catch (const FileError& error) {
        result.stoppedEarly = true;
        notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        result.stoppedEarly = true;
        notifier.notify(outOfMemoryText);
    }
    for (const std::string& folder : foldersWritten) {
        try {
            files.syncFolder(folder);
        } catch (const FileError& error) {
            result.syncFailed = true;
            notifier.notify(error.what());
        }
    }

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
