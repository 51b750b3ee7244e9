#include "cleaning/Restore.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"

#include <new>

namespace sorvanel {

std::string backupPathOf(const std::string& path)
{
    return path + ".bak";
}

bool hasBackup(FileOps& files, const std::string& path)
{
    return files.isRegularFile(backupPathOf(path));
}

RestoreRunResult restoreFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, FileOps& files, Notifier& notifier, Language language,
    const RunProgress& progress)
{
    RestoreRunResult result;
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
            if (hasBackup(files, entry.fullPath)) {
                // One rename: the cleaned bytes are replaced at once, and can be made again.
                files.renameReplace(backupPathOf(entry.fullPath), entry.fullPath);
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
    if (!result.restoredRows.empty())
        files.syncAll();

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
