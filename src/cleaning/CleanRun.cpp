#include "cleaning/CleanRun.h"

#include "cleaning/EventFilter.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"
#include "song/Song.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <new>

namespace sorvanel {

std::string formatLogLine(const std::string& fileName, std::int32_t sysExRemoved,
    std::int32_t controllersRemoved, std::int32_t resetsInserted)
{
    char counts[48];
    std::snprintf(counts, sizeof counts, "\t%4d\t%4d\t%4d", static_cast<int>(sysExRemoved),
        static_cast<int>(controllersRemoved), static_cast<int>(resetsInserted));
    return fileName + counts;
}

void replaceKeepingBackup(
    FileOps& files, const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const std::string backup = path + ".bak";
    // Anything under the backup's name counts, also what we may not open: it is never replaced.
    const bool hadBackup = files.exists(backup);
    // With a backup in place the rename below replaces bytes that exist nowhere else, so they
    // must be on disk before the new file takes their name. Without one the old bytes move to
    // the backup and the new ones could be made again: the run's final sync is enough.
    const std::string temporary = files.writeTemporary(path, data, size, hadBackup);
    bool movedToBackup = false;
    try {
        if (!hadBackup) {
            files.renameNoReplace(path, backup);
            movedToBackup = true;
        }
        files.renameReplace(temporary, path);
    } catch (...) {
        files.removeQuietly(temporary);
        if (movedToBackup) {
            // Give the file its name back; the backup was ours, made a moment ago.
            try {
                files.renameNoReplace(backup, path);
            } catch (const FileError&) {
            }
        }
        throw;
    }
}

namespace {

/// The per-file buffers, kept from one file to the next so that a batch of files of similar
/// size allocates (and touches fresh memory) only once.
struct RunBuffers
{
    std::vector<std::uint8_t> image;
    std::vector<std::uint8_t> output;
    /// Cleared before each file; keeps its event storage.
    Song song;
};

enum class FileOutcome { Finished, Stopped };

FileOutcome cleanFile(const MidiFileEntry& entry, const CleanOptions& options, FileOps& files,
    Notifier& notifier, bool dryRun, RunBuffers& buffers, std::vector<std::string>& lines,
    bool& wroteAny)
{
    // Emptied first: its events refer into the image that the read below replaces.
    Song& song = buffers.song;
    song.clear();
    files.readWhole(entry.fullPath, buffers.image);
    if (buffers.image.empty())
        return FileOutcome::Finished; // an empty file is neither parsed nor written
    if (buffers.image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw FileError("Cannot read", entry.fullPath, EFBIG);

    MidiBuffer input(
        buffers.image.data(), static_cast<std::int32_t>(buffers.image.size()), entry.fullPath);
    if (!song.read(input, notifier))
        return FileOutcome::Stopped;

    CleanCounts counts = cleanSong(song, options);
    if (!counts.changed)
        return FileOutcome::Finished;

    std::int32_t size = std::max(song.encodedSize(), 0);
    buffers.output.resize(static_cast<std::size_t>(size));
    MidiBuffer output(buffers.output.data(), size, entry.fullPath);
    if (!song.write(output, notifier))
        return FileOutcome::Stopped;
    std::size_t written = static_cast<std::size_t>(size - output.remaining());
    // Removals and insertions can give back the very bytes the file holds (a second run with
    // the same options takes out its resets and puts them in again): then nothing changed.
    if (written == buffers.image.size()
        && std::equal(buffers.image.begin(), buffers.image.end(), buffers.output.begin()))
        return FileOutcome::Finished;

    if (!dryRun) {
        replaceKeepingBackup(files, entry.fullPath, buffers.output.data(), written);
        wroteAny = true;
    }
    lines.push_back(formatLogLine(
        entry.fileName, counts.sysExRemoved, counts.controllersRemoved, counts.resetsInserted));
    return FileOutcome::Finished;
}

} // namespace

CleanRunResult cleanFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, const CleanOptions& options, FileOps& files,
    Notifier& notifier, Language language, bool dryRun, const RunProgress& progress)
{
    CleanRunResult result;
    std::vector<std::string> lines;
    bool wroteAny = false;
    try {
        RunBuffers buffers;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::size_t row = rows[i];
            if (row >= entries.size())
                continue;
            if (!goesOn(progress, i, rows.size(), entries[row].fileName)) {
                result.cancelled = true;
                break;
            }
            if (cleanFile(entries[row], options, files, notifier, dryRun, buffers, lines, wroteAny)
                == FileOutcome::Stopped) {
                result.stoppedEarly = true;
                break;
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
    if (wroteAny)
        files.syncAll();

    if (lines.empty()) {
        result.logLines.emplace_back(Texts::NoMidiFileChanged.pick(language));
    } else {
        result.logLines.reserve(lines.size() + 2);
        result.logLines.emplace_back(Texts::LogHeader);
        result.logLines.emplace_back();
        for (std::string& line : lines)
            result.logLines.push_back(std::move(line));
    }
    return result;
}

} // namespace sorvanel
