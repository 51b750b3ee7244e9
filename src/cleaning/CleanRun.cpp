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
#include <memory>
#include <new>
#include <optional>
#include <set>

namespace sorvanel {

std::string formatLogLine(const std::string& fileName, std::int32_t sysExRemoved,
    std::int32_t controllersRemoved, std::int32_t resetsInserted)
{
    char counts[48];
    std::snprintf(counts, sizeof counts, "\t%4d\t%4d\t%4d", static_cast<int>(sysExRemoved),
        static_cast<int>(controllersRemoved), static_cast<int>(resetsInserted));
    return fileName + counts;
}

namespace {

/// Why `kind` under a backup's name holds no copy of anything, or nothing when it is a backup
/// or free.
const char* whyNoBackup(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Missing:
    case EntryKind::File:
        return nullptr;
    case EntryKind::Folder:
        return "a folder has that name, not a backup";
    case EntryKind::BrokenLink:
        return "a link that leads to no file has that name, not a backup";
    case EntryKind::Other:
        return "something that is not a file (a pipe, socket or device) has that name, "
               "not a backup";
    case EntryKind::Unknown:
        break;
    }
    return "what has that name cannot be examined";
}

} // namespace

std::string replaceKeepingBackup(FileOps& files, const std::string& path, const std::uint8_t* data,
    std::size_t size, const std::uint8_t* former, std::size_t formerSize)
{
    // A link stays a link: the file it leads to is rewritten beside itself, backup and all.
    const std::string target = files.resolveLinks(path);
    const std::string backup = target + ".bak";
    // Only a regular file is a backup, readable or not, and it is never replaced. Anything
    // else under that name holds no copy, and nothing could be moved there.
    const EntryKind backupKind = files.kindOf(backup);
    if (const char* reason = whyNoBackup(backupKind))
        throw FileError("Cannot make the backup", backup, std::string(reason));
    const bool hadBackup = backupKind == EntryKind::File;
    // With a backup in place the file is replaced in place, so it must be one the user may
    // write; its current bytes exist nowhere else.
    if (hadBackup)
        files.checkWritable(target);
    // With a backup in place the rename below replaces bytes that exist nowhere else, so they
    // must be on disk before the new file takes their name. Without one the old bytes stay in
    // the backup and the new ones could be made again: the run's final sync is enough.
    const std::string temporary = files.writeTemporary(target, data, size, hadBackup);
    bool nameKeepsFormer = true;
    try {
        if (!hadBackup)
            nameKeepsFormer = files.makeBackup(target, backup, former, formerSize);
    } catch (const FileError&) {
        files.removeQuietly(temporary);
        throw;
    }
    try {
        files.renameReplace(temporary, target);
    } catch (const FileError& failure) {
        files.removeQuietly(temporary);
        if (hadBackup)
            throw;
        // Put the folder back as it was; the backup was ours, made a moment ago.
        if (nameKeepsFormer) {
            files.removeQuietly(backup);
            throw;
        }
        try {
            files.renameNoReplace(backup, target);
        } catch (const FileError&) {
            throw FileError(
                failure, ". The former contents of \"" + target + "\" are in \"" + backup + "\".");
        }
        throw;
    }
    return target;
}

namespace {

/// The per-file buffers, kept from one file to the next so that a batch of files of similar
/// size allocates (and touches fresh memory) only once.
struct RunBuffers
{
    std::vector<std::uint8_t> image;
    /// Cleared before each file; keeps its event storage.
    Song song;

    /// A block of at least `size` bytes for the encoder, which fills every byte it hands
    /// out: unlike a vector's, its bytes are not zeroed first.
    std::uint8_t* output(std::size_t size)
    {
        if (size > m_outputCapacity) {
            m_output.reset();
            m_outputCapacity = 0;
            m_output.reset(new std::uint8_t[size]);
            m_outputCapacity = size;
        }
        return m_output.get();
    }

private:
    std::unique_ptr<std::uint8_t[]> m_output;
    std::size_t m_outputCapacity = 0;
};

enum class FileOutcome { Finished, LeftOut, Stopped };

constexpr std::size_t largeBlock = std::size_t{64} << 20;

/// The output block for a clean done while the song is read, which keeps no events; null
/// when the options insert resets (they need a whole track first) or no such block can be
/// had (the song is then read into events, which may need less).
std::uint8_t* blockForCleaningWhileReading(const CleanOptions& options, RunBuffers& buffers)
{
    const std::size_t bound = sievedSizeBound(buffers.image.size());
    if (!insertsNothing(options)
        || bound > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return nullptr;
    try {
        return buffers.output(bound);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

/// Reads `entry` into `buffers`; an unchecked entry that cannot be read is left out after its
/// message, as the file list leaves it out.
bool readImage(const MidiFileEntry& entry, FileOps& files, Notifier& notifier, RunBuffers& buffers)
{
    if (!entry.unchecked) {
        files.readWhole(entry.fullPath, buffers.image);
        return true;
    }
    try {
        files.readWhole(entry.fullPath, buffers.image);
        return true;
    } catch (const FileError& error) {
        notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        notifier.notify(outOfMemoryText);
    }
    return false;
}

FileOutcome cleanFile(const MidiFileEntry& entry, const CleanOptions& options, FileOps& files,
    Notifier& notifier, bool dryRun, RunBuffers& buffers, std::vector<std::string>& lines,
    std::set<std::string>& foldersWritten)
{
    // Emptied first: its events refer into the image that the read below replaces.
    Song& song = buffers.song;
    song.clear();
    if (!readImage(entry, files, notifier, buffers))
        return FileOutcome::LeftOut;
    if (buffers.image.empty())
        return FileOutcome::Finished; // an empty file is neither parsed nor written
    const FileOutcome refused = entry.unchecked ? FileOutcome::LeftOut : FileOutcome::Stopped;
    if (buffers.image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        if (!entry.unchecked)
            throw FileError("Cannot read", entry.fullPath, EFBIG);
        song.readImage(buffers.image, entry.fullPath, notifier); // says why it is refused
        return refused;
    }

    MidiBuffer input(
        buffers.image.data(), static_cast<std::int32_t>(buffers.image.size()), entry.fullPath);
    CleanCounts counts;
    std::uint8_t* block = blockForCleaningWhileReading(options, buffers);
    std::size_t written = 0;
    if (block != nullptr) {
        switch (cleanWhileReading(input, notifier, options, block,
            sievedSizeBound(buffers.image.size()), written, counts)) {
        case SievedWrite::Refused:
            return refused;
        case SievedWrite::TooSmall:
            return FileOutcome::Stopped;
        case SievedWrite::Written:
            break;
        }
        if (!counts.changed)
            return FileOutcome::Finished;
    } else {
        if (!readCleanSong(song, input, notifier, options, counts))
            return refused;
        if (!counts.changed)
            return FileOutcome::Finished;
        // Sized without a pass over the events; a large song is counted exactly instead, so
        // its block takes no more address space than it needs.
        std::size_t bound = cleanedSizeBound(song, buffers.image.size(), counts);
        if (bound > largeBlock)
            bound = static_cast<std::size_t>(std::max(song.encodedSize(), 0));
        const auto size = static_cast<std::int32_t>(
            std::min<std::size_t>(bound, std::numeric_limits<std::int32_t>::max()));
        block = buffers.output(static_cast<std::size_t>(size));
        MidiBuffer output(block, size, entry.fullPath);
        if (!song.write(output, notifier))
            return FileOutcome::Stopped;
        written = static_cast<std::size_t>(size - output.remaining());
    }
    // Removals and insertions can give back the very bytes the file holds (a second run with
    // the same options takes out its resets and puts them in again): then nothing changed.
    if (written == buffers.image.size()
        && std::equal(buffers.image.begin(), buffers.image.end(), block))
        return FileOutcome::Finished;

    if (!dryRun) {
        foldersWritten.insert(folderOf(replaceKeepingBackup(
            files, entry.fullPath, block, written, buffers.image.data(), buffers.image.size())));
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
    std::set<std::string> foldersWritten;
    // One file under two names (a link, "dir/./a.mid", a second hard link) is cleaned once,
    // under the first that is not left out. Told apart before anything is rewritten: a
    // rewritten file is a new one.
    std::vector<std::optional<FileIdentity>> identities(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i] < entries.size())
            identities[i] = files.identify(entries[rows[i]].fullPath);
    std::set<FileIdentity> seen;
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
            if (!identities[i] || !seen.contains(*identities[i])) {
                FileOutcome outcome = cleanFile(
                    entries[row], options, files, notifier, dryRun, buffers, lines, foldersWritten);
                if (outcome == FileOutcome::Stopped) {
                    result.stoppedEarly = true;
                    break;
                }
                if (outcome == FileOutcome::LeftOut) {
                    ++result.leftOut;
                    continue;
                }
                if (identities[i])
                    seen.insert(*identities[i]);
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
    // What was written is on disk when the run is over; a failure to get it there is told
    // after the files' own messages, and the log still shows what was done.
    for (const std::string& folder : foldersWritten) {
        files.removeLeftovers(folder);
        try {
            files.syncFolder(folder);
        } catch (const FileError& error) {
            result.syncFailed = true;
            notifier.notify(error.what());
        }
    }

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
