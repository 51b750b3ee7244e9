#include "cleaning/CleanRun.h"

#include "cleaning/EventFilter.h"
#include "cleaning/FileList.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Texts.h"
#include "song/Song.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
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

/// Makes `backup` hold the former bytes of `target` without ever replacing anything there:
/// a second name of the file, or where the volume takes none, a copy of `former` flushed to
/// disk under a temporary name that takes the backup's name only when it is complete (until
/// then the song itself holds those bytes, and a later run removes the copy).
void makeBackup(FileOps& files, const std::string& target, const std::string& backup,
    const std::uint8_t* former, std::size_t formerSize)
{
    if (files.linkNoReplace(target, backup))
        return;
    const std::string copy = files.writeTemporary(target, former, formerSize, true);
    try {
        files.renameNoReplace(copy, backup);
    } catch (const FileError&) {
        files.removeQuietly(copy);
        throw;
    }
}

} // namespace

bool checkBackupName(FileOps& files, const std::string& target, std::size_t formerSize)
{
    const std::string backup = backupPathOf(target);
    // Only a regular file is a backup, readable or not, and it is never replaced. Anything
    // else under that name holds no copy, and nothing could be put there.
    const EntryKind backupKind = files.kindOf(backup);
    if (const char* reason = whyNoBackup(backupKind))
        throw FileError("Cannot make the backup", backup, std::string(reason));
    if (backupKind != EntryKind::File)
        return false;
    // An empty file beside former bytes is no copy of them (a run of an earlier version that
    // died left one); it is not taken for the backup, nor replaced.
    if (formerSize > 0) {
        auto facts = files.examine(backup);
        if (facts && facts->size == 0)
            throw FileError(
                "Cannot make the backup", backup, std::string("an empty file has that name"));
    }
    // With a backup in place the file is replaced in place, so it must be one the user may
    // write; its current bytes exist nowhere else.
    files.checkWritable(target);
    return true;
}

std::string replaceKeepingBackup(FileOps& files, const std::string& path, const std::uint8_t* data,
    std::size_t size, const std::uint8_t* former, std::size_t formerSize,
    const std::optional<FileFacts>& asRead)
{
    // A link stays a link: the file it leads to is rewritten beside itself, backup and all.
    const std::string target = files.resolveLinks(path);
    // A link named like a song that leads to something else (a backup) is no song.
    if (!mayBeSong(nameOf(target)))
        throw FileError(
            "Cannot clean", path, "it leads to \"" + target + "\", which is not a song file");
    const std::string backup = backupPathOf(target);
    const bool hadBackup = checkBackupName(files, target, formerSize);
    // With a backup in place the rename below replaces bytes that exist nowhere else, so they
    // must be on disk before the new file takes their name. Without one the old bytes stay in
    // the backup and the new ones could be made again: the run's final sync is enough.
    const std::string temporary = files.writeTemporary(target, data, size, hadBackup);
    bool madeBackup = false;
    try {
        if (!hadBackup) {
            makeBackup(files, target, backup, former, formerSize);
            madeBackup = true;
        }
        // Another program may have saved the song since it was read: its bytes are kept.
        if (asRead) {
            auto now = files.examine(target);
            if (!now || !now->sameAs(*asRead))
                throw FileError(
                    "Cannot replace", target, std::string("it changed while it was being cleaned"));
        }
        // The name holds the former bytes up to here, and the new ones from here.
        files.renameReplace(temporary, target);
    } catch (const FileError& failure) {
        files.removeQuietly(temporary);
        // The backup was ours, made a moment ago, and a second name or copy of bytes the
        // name still holds. Where it cannot go (a sticky folder), the message says so.
        if (madeBackup) {
            files.removeQuietly(backup);
            if (files.kindOf(backup) != EntryKind::Missing)
                throw FileError(failure, ". Its former contents also stay in \"" + backup + "\".");
        }
        throw;
    }
    return target;
}

void removeLeftovers(FileOps& files, const std::string& folder)
{
    try {
        std::vector<std::string> leftovers;
        std::vector<std::string> keepers;
        for (const FolderItem& item : files.listFolder(folder)) {
            if (!item.isFile)
                continue;
            if (isTemporaryName(item.name) && !item.isLink)
                leftovers.push_back(joinPath(folder, item.name));
            else if (isListableName(item.name) || isBackupName(item.name))
                keepers.push_back(joinPath(folder, item.name));
        }
        std::vector<std::uint8_t> leftoverBytes;
        std::vector<std::uint8_t> keeperBytes;
        for (const std::string& leftover : leftovers) {
            // Only our own, and only where its bytes are also under a song's or backup's
            // name: then it is a copy a run made and could not finish, never the only one.
            auto facts = files.examine(leftover);
            if (!facts || !facts->mine)
                continue;
            bool read = false;
            for (const std::string& keeper : keepers) {
                auto other = files.examine(keeper);
                if (!other || other->size != facts->size || other->identity == facts->identity)
                    continue;
                if (!read) {
                    files.readWhole(leftover, leftoverBytes);
                    read = true;
                }
                files.readWhole(keeper, keeperBytes);
                if (keeperBytes == leftoverBytes) {
                    files.removeQuietly(leftover);
                    break;
                }
            }
        }
    } catch (const FileError&) {
        // What cannot be looked at stays.
    } catch (const std::bad_alloc&) {
    }
}

namespace {

/// The per-file buffers, kept from one file to the next so that a batch of files of similar
/// size allocates (and touches fresh memory) only once.
struct RunBuffers
{
    std::vector<std::uint8_t> image;
    /// Cleared before each file; keeps its event storage.
    Song song;
    /// How many bytes the file last rewritten was given.
    std::size_t lastWritten = 0;

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

    /// A larger block for the output, with its first `used` bytes kept.
    std::uint8_t* grownOutput(std::size_t used, std::size_t atLeast, std::size_t& capacity)
    {
        const std::size_t size = std::max(atLeast, m_outputCapacity + m_outputCapacity / 2);
        std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[size]);
        if (used > 0)
            std::memcpy(larger.get(), m_output.get(), used);
        m_output = std::move(larger);
        m_outputCapacity = capacity = size;
        return m_output.get();
    }
    std::size_t outputCapacity() const { return m_outputCapacity; }

private:
    std::unique_ptr<std::uint8_t[]> m_output;
    std::size_t m_outputCapacity = 0;
};

enum class FileOutcome { Finished, LeftOut, Stopped };

} // namespace

void syncWritten(FileOps& files, const std::string& folder, const std::string& written,
    Notifier& notifier, bool& failed)
{
    try {
        files.syncFolder(folder);
    } catch (const FileError& error) {
        // A folder that may be written but not read is flushed through a file written there.
        if (error.errorNumber() == EACCES) {
            try {
                files.syncFolder(written);
                return;
            } catch (const FileError&) {
            }
        }
        failed = true;
        notifier.notify(error.what());
    }
}

void runThenFlush(FileOps& files, Notifier& notifier, const std::function<void()>& eachFile,
    const std::map<std::string, std::string>& foldersWritten, bool& stoppedEarly, bool& syncFailed,
    const std::function<void(const std::string&)>& beforeFlush)
{
    try {
        eachFile();
    } catch (const FileError& error) {
        stoppedEarly = true;
        notifier.notify(error.what());
    } catch (const std::bad_alloc&) {
        stoppedEarly = true;
        notifier.notify(outOfMemoryText);
    }
    for (const auto& [folder, written] : foldersWritten) {
        if (beforeFlush)
            beforeFlush(folder);
        syncWritten(files, folder, written, notifier, syncFailed);
    }
}

namespace {

constexpr std::size_t largeBlock = std::size_t{64} << 20;

/// The output block for a clean done while the song is read, which keeps no events; null
/// when the options insert resets (they need a whole track first) or the song could need
/// more than a 2 GB cursor takes. Sized from the image with room for what running status left
/// out of the usual song, it grows while the song is written where that is not enough.
std::uint8_t* blockForCleaningWhileReading(const CleanOptions& options, RunBuffers& buffers)
{
    const std::size_t size = buffers.image.size();
    if (!insertsNothing(options)
        || sievedSizeBound(size)
            > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return nullptr;
    return buffers.output(size + size / 4 + 64);
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

/// Cleans one file; `asRead` is what a look at it just before the read saw. Sets `rewritten`
/// to the path rewritten, if any (in a dry run, the path that would be).
FileOutcome cleanFile(const MidiFileEntry& entry, const CleanOptions& options, FileOps& files,
    Notifier& notifier, bool dryRun, RunBuffers& buffers, std::vector<std::string>& lines,
    const std::optional<FileFacts>& asRead, std::string& rewritten)
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
        const GrowBlock grow = [&](std::size_t used, std::size_t atLeast, std::size_t& capacity) {
            return buffers.grownOutput(used, atLeast, capacity);
        };
        switch (cleanWhileReading(
            input, notifier, options, block, buffers.outputCapacity(), written, counts, grow)) {
        case SievedWrite::Refused:
            return refused;
        case SievedWrite::TooSmall:
            return FileOutcome::Stopped;
        case SievedWrite::Written:
            block = buffers.output(0);
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

    if (dryRun) {
        // What stands under the backup's name refuses the file as it would in a real run.
        const std::string target = files.resolveLinks(entry.fullPath);
        if (!mayBeSong(nameOf(target)))
            throw FileError("Cannot clean", entry.fullPath,
                "it leads to \"" + target + "\", which is not a song file");
        checkBackupName(files, target, buffers.image.size());
        rewritten = target;
    } else {
        buffers.lastWritten = written;
        rewritten = replaceKeepingBackup(files, entry.fullPath, block, written,
            buffers.image.data(), buffers.image.size(), asRead);
    }
    lines.push_back(formatLogLine(
        entry.fileName, counts.sysExRemoved, counts.controllersRemoved, counts.resetsInserted));
    return FileOutcome::Finished;
}

/// Whether `path` leads to the file named `target` itself, not to a second hard link of it.
bool leadsTo(FileOps& files, const std::string& path, const std::string& target)
{
    try {
        const std::string other = files.resolveLinks(path);
        if (nameOf(other) != nameOf(target))
            return false;
        auto folder = files.examine(folderOf(other));
        auto targetFolder = files.examine(folderOf(target));
        return folder && targetFolder && folder->identity == targetFolder->identity;
    } catch (const FileError&) {
        return false;
    }
}

} // namespace

CleanRunResult cleanFiles(const std::vector<MidiFileEntry>& entries,
    const std::vector<std::size_t>& rows, const CleanOptions& options, FileOps& files,
    Notifier& notifier, Language language, bool dryRun, const RunProgress& progress)
{
    CleanRunResult result;
    std::vector<std::string> lines;
    // The folders written, each with a file written there.
    std::map<std::string, std::string> foldersWritten;
    // One file under two names (a link, "dir/./a.mid") is cleaned once, under the first that
    // is not left out: a name that leads to a file this run finished (as it is now, rewritten
    // or not) is passed over. A second hard link still leads to the former file once the
    // first name was rewritten, and is cleaned in turn.
    std::set<FileIdentity> finished;
    // A dry run rewrites nothing: the files it would rewrite, with the name they would be
    // rewritten under, so that it passes over the same names as a real run.
    std::map<FileIdentity, std::string> wouldRewrite;
    // Files this run rewrote whose new identity has not been looked at, by the size they were
    // given: another name can only lead to one of them where its size matches, and only then
    // is the look made, so that a folder of distinct songs costs no look after each rewrite.
    std::multimap<std::uint64_t, std::string> unlooked;
    auto eachFile = [&] {
        RunBuffers buffers;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::size_t row = rows[i];
            if (row >= entries.size())
                continue;
            if (!goesOn(progress, i, rows.size(), entries[row].fileName)) {
                result.cancelled = true;
                break;
            }
            const std::optional<FileFacts> facts = files.examine(entries[row].fullPath);
            if (facts) {
                auto [first, last] = unlooked.equal_range(facts->size);
                for (auto it = first; it != last; ++it)
                    if (auto now = files.examine(it->second))
                        finished.insert(now->identity);
                unlooked.erase(first, last);
            }
            auto would = facts ? wouldRewrite.find(facts->identity) : wouldRewrite.end();
            const bool again = facts
                && (finished.contains(facts->identity)
                    || (would != wouldRewrite.end()
                        && leadsTo(files, entries[row].fullPath, would->second)));
            if (!again) {
                std::string rewritten;
                FileOutcome outcome = cleanFile(entries[row], options, files, notifier, dryRun,
                    buffers, lines, facts, rewritten);
                if (outcome == FileOutcome::Stopped) {
                    result.stoppedEarly = true;
                    break;
                }
                if (outcome == FileOutcome::LeftOut) {
                    ++result.leftOut;
                    continue;
                }
                if (dryRun && !rewritten.empty()) {
                    wouldRewrite.emplace(facts ? facts->identity : FileIdentity(), rewritten);
                } else if (!rewritten.empty()) {
                    foldersWritten.emplace(folderOf(rewritten), rewritten);
                    unlooked.emplace(buffers.lastWritten, rewritten);
                } else if (facts) {
                    finished.insert(facts->identity);
                }
            }
            result.finishedRows.push_back(row);
        }
    };
    // What was written is on disk when the run is over; a failure to get it there is told
    // after the files' own messages, and the log still shows what was done.
    runThenFlush(files, notifier, eachFile, foldersWritten, result.stoppedEarly, result.syncFailed,
        [&files](const std::string& folder) { removeLeftovers(files, folder); });

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
