#include "cleaning/CleanRun.h"

#include "FaultyFileOps.h"
#include "platform/Notifier.h"
#include "support/MemoryFileOps.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace sorvanel {
namespace {

using test::Bytes;
using test::hex;
using test::smf;
using test::track;

MidiFileEntry entryFor(const std::string& name)
{
    return {"/songs/" + name, name, {}};
}

CleanOptions deleteControllers()
{
    CleanOptions options;
    options.DeleteAllControlEvents = 1;
    options.ExceptControlEvents = 0;
    return options;
}

/// Something to delete: one controller.
const Bytes dirty = smf({track(hex("00 B0 4A 10 | 00 90 3C 40 | 10 80 3C 00"))});
/// What `dirty` becomes.
const Bytes cleaned = smf({track(hex("00 90 3C 40 | 10 80 3C 00"))});
/// Nothing to delete.
const Bytes alreadyClean = cleaned;
/// Not a song file.
const Bytes broken = hex("4D 54 68 64 00 00 00 05");

struct Folder
{
    test::MemoryFileOps files;
    std::vector<MidiFileEntry> entries;

    void add(const std::string& name, const Bytes& contents)
    {
        files.files["/songs/" + name] = contents;
        entries.push_back(entryFor(name));
    }
    const Bytes* file(const std::string& name) const
    {
        auto found = files.files.find("/songs/" + name);
        return found == files.files.end() ? nullptr : &found->second;
    }
};

std::vector<std::size_t> allRows(const Folder& folder)
{
    std::vector<std::size_t> rows(folder.entries.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

TEST(CleanRun, NoSelectionLogsTheNoChangeLineInTheGivenLanguage)
{
    Folder folder;
    folder.add("a.mid", dirty);
    RecordingNotifier notifier;
    for (auto [language, line] : {std::pair{Language::English, "<no midi file changed>"},
             std::pair{Language::German, "<Keine Midifiles verändert>"}}) {
        CleanRunResult result =
            cleanFiles(folder.entries, {}, deleteControllers(), folder.files, notifier, language);
        EXPECT_EQ(result.logLines, std::vector<std::string>{line});
        EXPECT_FALSE(result.stoppedEarly);
        EXPECT_TRUE(result.finishedRows.empty());
    }
    EXPECT_EQ(*folder.file("a.mid"), dirty);
    EXPECT_TRUE(notifier.texts.empty());
}

TEST(CleanRun, StopsAtARefusedFileOrLeavesOutAnUncheckedOne)
{
    struct Row
    {
        const char* name;
        Bytes first;
        bool unchecked;
        std::vector<std::string> log;
        std::vector<std::size_t> finished;
    };
    const Row rows[] = {
        {"first changed", dirty, false,
            {"File\tSysEx\tContr.\tReset", "", "a.mid\t   0\t   1\t   0"}, {0}},
        {"first unchanged", alreadyClean, false, {"<no midi file changed>"}, {0}},
        // Broken and missing files of a folder are left out after their messages.
        {"unchecked", alreadyClean, true,
            {"File\tSysEx\tContr.\tReset", "", "c.mid\t   0\t   1\t   0"}, {0, 2}},
    };
    for (const Row& row : rows) {
        Folder folder;
        folder.add("a.mid", row.first);
        folder.add("b.mid", broken);
        folder.add("c.mid", dirty);
        folder.entries.push_back(entryFor("gone.mid"));
        for (MidiFileEntry& entry : folder.entries)
            entry.unchecked = row.unchecked;
        RecordingNotifier notifier;
        CleanRunResult result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
            folder.files, notifier, Language::English);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(result.logLines, row.log);
        EXPECT_EQ(result.stoppedEarly, !row.unchecked);
        EXPECT_EQ(result.leftOut, row.unchecked ? 2u : 0u);
        EXPECT_EQ(result.finishedRows, row.finished);
        ASSERT_EQ(notifier.texts.size(), row.unchecked ? 2u : 1u);
        EXPECT_NE(notifier.texts[0].find("/songs/b.mid"), std::string::npos) << notifier.texts[0];
        EXPECT_EQ(*folder.file("b.mid"), broken);
        EXPECT_EQ(*folder.file("c.mid"), row.unchecked ? cleaned : dirty);
        EXPECT_EQ(folder.file("b.mid.bak"), nullptr);
    }
}

TEST(CleanRun, FinishesEmptyUnchangedAndChangedFilesAlike)
{
    Folder folder;
    folder.add("empty.mid", {});
    folder.add("clean.mid", alreadyClean);
    folder.add("x.mid", dirty);
    RecordingNotifier notifier;
    std::vector<std::size_t> rows = {0, 1, 7, 2}; // 7 is no row: passed over
    CleanRunResult result = cleanFiles(
        folder.entries, rows, deleteControllers(), folder.files, notifier, Language::German);
    EXPECT_FALSE(result.stoppedEarly);
    EXPECT_EQ(result.finishedRows, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(result.logLines,
        (std::vector<std::string>{"File\tSysEx\tContr.\tReset", "", "x.mid\t   0\t   1\t   0"}));
    EXPECT_TRUE(folder.file("empty.mid")->empty());
    EXPECT_EQ(folder.file("empty.mid.bak"), nullptr);
    EXPECT_EQ(folder.file("clean.mid.bak"), nullptr);
    EXPECT_EQ(*folder.file("x.mid"), cleaned);
    EXPECT_EQ(*folder.file("x.mid.bak"), dirty);
    EXPECT_EQ(folder.files.files.size(), 4u) << "no temporary file is left";
    EXPECT_EQ(folder.files.syncCount, 1u);
    EXPECT_TRUE(notifier.texts.empty());
}

TEST(CleanRun, NothingChangedNeedsNoSync)
{
    Folder folder;
    folder.add("clean.mid", alreadyClean);
    RecordingNotifier notifier;
    cleanFiles(folder.entries, allRows(folder), deleteControllers(), folder.files, notifier,
        Language::English);
    EXPECT_EQ(folder.files.syncCount, 0u);
}

TEST(CleanRun, SecondRunKeepsTheFirstBackupAndSyncsBeforeReplacing)
{
    // A track that opens with its name gets beginning resets on every run.
    const Bytes named = smf({track(hex("00 FF 03 01 41 | 00 90 3C 40"))});
    CleanOptions options;
    options.InsertMidiReset = 1;
    Folder folder;
    folder.add("a.mid", named);
    test::FaultyFileOps files(folder.files);
    RecordingNotifier notifier;

    cleanFiles(folder.entries, {0}, options, files, notifier, Language::English);
    Bytes afterFirst = *folder.file("a.mid");
    EXPECT_EQ(*folder.file("a.mid.bak"), named);
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), "flush /songs/a.mid"), 0)
        << "the old bytes moved to the backup: no sync needed before the rename";

    files.log.clear();
    CleanRunResult second =
        cleanFiles(folder.entries, {0}, options, files, notifier, Language::English);
    EXPECT_EQ(second.logLines.back(), "a.mid\t   0\t   0\t   1");
    EXPECT_EQ(*folder.file("a.mid.bak"), named) << "an existing backup is never replaced";
    EXPECT_EQ(folder.file("a.mid")->size(), afterFirst.size() + 4);
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), "flush /songs/a.mid"), 1)
        << "replacing bytes that exist nowhere else: synced first";
    EXPECT_EQ(files.log.back(), "sync /songs");
    EXPECT_EQ(files.log.end()[-2], "list /songs") << "leftovers are looked for";
    EXPECT_TRUE(notifier.texts.empty());
}

TEST(CleanRun, ProgressSeesEachFileAndStopsBetweenFiles)
{
    struct Row
    {
        const char* name;
        std::size_t stopBefore; // the run's index at which the callback says stop
        std::vector<std::size_t> finished;
        std::size_t logLines;
    };
    const Row rows[] = {
        {"stop before the first", 0, {}, 1},
        {"stop before the second", 1, {0}, 3},
        {"never stop", 9, {0, 1}, 4},
    };
    for (const Row& row : rows) {
        Folder folder;
        folder.add("a.mid", dirty);
        folder.add("b.mid", dirty);
        RecordingNotifier notifier;
        std::vector<std::string> seen;
        RunProgress progress = [&](std::size_t index, std::size_t count, const std::string& name) {
            seen.push_back(std::to_string(index) + "/" + std::to_string(count) + " " + name);
            return index != row.stopBefore;
        };
        CleanRunResult result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
            folder.files, notifier, Language::English, false, progress);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(result.cancelled, row.stopBefore < 2);
        EXPECT_FALSE(result.stoppedEarly);
        EXPECT_EQ(result.finishedRows, row.finished);
        EXPECT_EQ(result.logLines.size(), row.logLines);
        EXPECT_EQ(seen.front(), "0/2 a.mid");
        EXPECT_EQ(seen.size(), std::min<std::size_t>(row.stopBefore + 1, 2));
        EXPECT_EQ(*folder.file("b.mid"), row.finished.size() == 2 ? cleaned : dirty);
        EXPECT_EQ(folder.file("b.mid.bak") != nullptr, row.finished.size() == 2);
    }
}

// Cleaning can give back a file's very bytes: a second run with the same options takes out the
// resets the first one inserted and puts them in again. Such a file is left alone entirely.
TEST(CleanRun, IdenticalBytesAreNotRewritten)
{
    CleanOptions options = deleteControllers();
    options.InsertMidiReset = 1;
    Folder first;
    first.add("a.mid", dirty);
    RecordingNotifier quiet;
    cleanFiles(first.entries, {0}, options, first.files, quiet, Language::English);
    const Bytes once = *first.file("a.mid");
    ASSERT_EQ(once.size(), cleaned.size() + 4) << "a reset was inserted";
    struct Row
    {
        const char* name;
        Bytes contents;
        bool rewritten;
    };
    const Row rows[] = {
        {"first run", dirty, true},
        {"second run: same bytes", once, false},
        {"same song wrapped: written bare", test::riff(once), true},
    };
    for (const Row& row : rows) {
        for (bool dryRun : {false, true}) {
            Folder folder;
            folder.add("a.mid", row.contents);
            test::FaultyFileOps files(folder.files);
            RecordingNotifier notifier;
            CleanRunResult result = cleanFiles(
                folder.entries, {0}, options, files, notifier, Language::English, dryRun);
            SCOPED_TRACE(std::string(row.name) + (dryRun ? ", dry run" : ""));
            EXPECT_EQ(result.finishedRows, std::vector<std::size_t>{0}) << "deselected";
            EXPECT_EQ(result.logLines.size(), row.rewritten ? 3u : 1u);
            EXPECT_EQ(folder.file("a.mid.bak") != nullptr, row.rewritten && !dryRun);
            if (!row.rewritten) {
                EXPECT_EQ(
                    files.log, (std::vector<std::string>{"open /songs/a.mid", "read /songs/a.mid"}))
                    << "nothing but the read";
            }
        }
    }
}

TEST(CleanRun, LogLineAlignsCounts)
{
    EXPECT_EQ(formatLogLine("x.mid", 3, 12, 16), "x.mid\t   3\t  12\t  16");
    EXPECT_EQ(formatLogLine("y.mid", 12345, 0, 0), "y.mid\t12345\t   0\t   0");
}

TEST(CleanRun, RiffFileIsWrittenBackBare)
{
    Folder folder;
    folder.add("r.mid", test::riff(dirty));
    RecordingNotifier notifier;
    cleanFiles(folder.entries, {0}, deleteControllers(), folder.files, notifier, Language::English);
    EXPECT_EQ(*folder.file("r.mid"), cleaned);
    EXPECT_EQ(*folder.file("r.mid.bak"), test::riff(dirty));
}

TEST(CleanRun, DryRunLogsTheSameAndTouchesNothing)
{
    Folder folder;
    folder.add("a.mid", dirty);
    folder.add("b.mid", alreadyClean);
    test::FaultyFileOps files(folder.files);
    RecordingNotifier notifier;
    CleanRunResult dry = cleanFiles(folder.entries, allRows(folder), deleteControllers(), files,
        notifier, Language::English, true);
    // It reads and looks, at what stands under the backup's name too, and writes nothing.
    for (const std::string& step : files.log)
        EXPECT_TRUE(step.starts_with("open ") || step.starts_with("read ")
            || step.starts_with("resolve ") || step.starts_with("check-writable "))
            << step;
    auto before = folder.files.files;
    CleanRunResult real = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
        folder.files, notifier, Language::English);
    EXPECT_EQ(dry.logLines, real.logLines);
    EXPECT_EQ(dry.finishedRows, real.finishedRows);
    EXPECT_NE(before, folder.files.files);
}

TEST(CleanRun, FileAndMemoryFailuresAreReportedAndStopTheRun)
{
    struct Row
    {
        const char* name;
        std::function<void(test::MemoryFileOps&)> breakIt;
        std::string message;
    };
    const Row rows[] = {
        {"unreadable", [](auto& f) { f.readErrors["/songs/b.mid"] = EACCES; },
            "Cannot read \"/songs/b.mid\": Permission denied"},
        {"vanished", [](auto& f) { f.files.erase("/songs/b.mid"); },
            "Cannot open \"/songs/b.mid\": No such file or directory"},
        {"out of memory", [](auto& f) { f.readOutOfMemory.insert("/songs/b.mid"); },
            std::string(outOfMemoryText)},
        // Its bytes exist nowhere else, and the user may not write them.
        {"read-only with a backup",
            [](auto& f) {
                f.readOnly.insert("/songs/b.mid");
                f.files["/songs/b.mid.bak"] = {1};
            },
            "Cannot write \"/songs/b.mid\": Permission denied"},
    };
    for (const Row& row : rows) {
        Folder folder;
        folder.add("a.mid", dirty);
        folder.add("b.mid", dirty);
        folder.add("c.mid", dirty);
        row.breakIt(folder.files);
        RecordingNotifier notifier;
        CleanRunResult result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
            folder.files, notifier, Language::English);
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(result.stoppedEarly);
        EXPECT_EQ(result.finishedRows, std::vector<std::size_t>{0});
        EXPECT_EQ(notifier.texts, std::vector<std::string>{row.message});
        EXPECT_EQ(result.logLines.size(), 3u);
        EXPECT_EQ(*folder.file("c.mid"), dirty);
        if (folder.file("b.mid") != nullptr) {
            EXPECT_EQ(*folder.file("b.mid"), dirty);
        }
        EXPECT_EQ(folder.files.syncCount, 1u) << "what was written before is synced";
    }
}

using Backup = test::MemoryFileOps::Backup;

// Fails, or kills the process at, or has another program save the first file before, every
// step of a run over two files in turn, with and without an existing backup, on file systems
// that make a backup as a second name, by a copy renamed without replacing, or by a copy
// renamed after a look (no second names, no such rename). A failure may leave: each file's
// name holding its old bytes or its complete new contents, an existing backup untouched, a
// new backup holding the old bytes, nothing else in the folder, and the run reporting the
// failure and stopping. A kill may leave the same and hidden temporary files, which a run
// after it removes when it finishes the work. Another program's save is never lost.
TEST(CleanRunFaults, EveryFailingOrKilledStepLeavesEveryFileWhole)
{
    const Bytes oldBackup = hex("01 02 03");
    // What another program saves: something else to clean.
    const Bytes theirs = smf({track(hex("00 B0 07 10 | 00 90 3E 40 | 10 80 3E 00"))});
    const Bytes theirsCleaned = smf({track(hex("00 90 3E 40 | 10 80 3E 00"))});
    enum class Fault { Fail, Kill, Save };
    std::set<std::string> failedKinds;
    for (Backup method : {Backup::SecondName, Backup::Copy, Backup::CopyAndLook}) {
        for (bool hadBackup : {false, true}) {
            for (Fault fault : {Fault::Fail, Fault::Kill, Fault::Save}) {
                const bool kill = fault == Fault::Kill;
                for (int at = 0;; ++at) {
                    Folder folder;
                    folder.files.backupBy = method;
                    folder.add("a.mid", dirty);
                    folder.add("b.mid", dirty);
                    if (hadBackup) {
                        folder.files.files["/songs/a.mid.bak"] = oldBackup;
                        folder.files.files["/songs/b.mid.bak"] = oldBackup;
                    }
                    test::FaultyFileOps files(folder.files);
                    if (fault == Fault::Save) {
                        files.beforeStep = [&](int step) {
                            if (step == at)
                                folder.files.save("/songs/a.mid", theirs);
                        };
                    } else {
                        (kill ? files.killAt : files.failAt) = at;
                    }
                    RecordingNotifier notifier;
                    CleanRunResult result;
                    bool killed = false;
                    try {
                        result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
                            files, notifier, Language::English);
                    } catch (const test::Killed&) {
                        killed = true;
                    }
                    const bool hit = at < files.steps;
                    const std::string step =
                        hit ? files.stepsTaken[static_cast<std::size_t>(at)] : "";
                    SCOPED_TRACE("backup by " + std::to_string(static_cast<int>(method))
                        + (hadBackup ? ", with" : ", without") + " backup, fault "
                        + std::to_string(static_cast<int>(fault)) + " at step " + std::to_string(at)
                        + ": " + step);
                    EXPECT_EQ(killed, kill && hit);

                    const Bytes& former = hadBackup ? oldBackup : dirty;
                    for (const char* name : {"a.mid", "b.mid"}) {
                        const Bytes* now = folder.file(name);
                        const Bytes* backup = folder.file(std::string(name) + ".bak");
                        ASSERT_NE(now, nullptr) << name << " has no name";
                        // Between the last look and the rename no system lets a save be told.
                        const bool lastInstant = step.starts_with("rename-replace ")
                            && step.ends_with("-> /songs/a.mid");
                        if (fault == Fault::Save && hit && name == std::string("a.mid")
                            && !lastInstant) {
                            // Their save stands, or was read and cleaned with its backup.
                            EXPECT_TRUE(*now == theirs || *now == theirsCleaned);
                            if (*now == theirsCleaned) {
                                EXPECT_EQ(*backup, hadBackup ? oldBackup : theirs);
                            } else if (backup != nullptr) {
                                EXPECT_EQ(*backup, former);
                            }
                            continue;
                        }
                        if (backup != nullptr) {
                            EXPECT_EQ(*backup, former) << name;
                        }
                        EXPECT_TRUE(*now == dirty || *now == cleaned) << name;
                        if (*now == cleaned) {
                            EXPECT_NE(backup, nullptr) << name << " changed without a backup";
                        } else if (!hadBackup && !killed) {
                            EXPECT_EQ(backup, nullptr) << name << ": a failure leaves no backup";
                        }
                    }
                    for (const auto& [path, contents] : folder.files.files)
                        EXPECT_TRUE(path.ends_with(".mid") || path.ends_with(".mid.bak")
                            || (killed && isTemporaryName(nameOf(path))))
                            << path << " was left behind";

                    if (!hit) {
                        EXPECT_FALSE(result.stoppedEarly || result.syncFailed);
                        EXPECT_EQ(*folder.file("b.mid"), cleaned);
                        break;
                    }
                    ASSERT_LT(at, 80) << "the sweep does not end";
                    if (fault == Fault::Save) {
                        // Refused where it was seen, or saved after the run was done with it.
                        if (result.stoppedEarly) {
                            ASSERT_EQ(notifier.texts.size(), 1u);
                            EXPECT_NE(notifier.texts[0].find("changed while it was being cleaned"),
                                std::string::npos)
                                << notifier.texts[0];
                        }
                        continue;
                    }
                    if (killed) {
                        cleanFiles(folder.entries, allRows(folder), deleteControllers(),
                            folder.files, notifier, Language::English);
                        for (const char* name : {"a.mid", "b.mid"}) {
                            EXPECT_EQ(*folder.file(name), cleaned) << name << " after a new run";
                            EXPECT_EQ(*folder.file(std::string(name) + ".bak"), former) << name;
                        }
                        EXPECT_EQ(folder.files.files.size(), 4u) << "leftovers are removed";
                        continue;
                    }
                    if (step.starts_with("list ")) {
                        // Looking for leftovers: a failure leaves them, and is no failure.
                        EXPECT_TRUE(notifier.texts.empty());
                        continue;
                    }
                    failedKinds.insert(step.substr(0, step.find(' ')));
                    ASSERT_EQ(notifier.texts.size(), 1u);
                    EXPECT_NE(notifier.texts[0].find("Injected"), std::string::npos);
                    if (step.starts_with("sync ")) {
                        // Every file is done; only getting it to disk failed.
                        EXPECT_TRUE(result.syncFailed);
                        EXPECT_FALSE(result.stoppedEarly);
                        EXPECT_EQ(result.finishedRows.size(), 2u);
                        continue;
                    }
                    EXPECT_TRUE(result.stoppedEarly);
                    // A failing file is not finished; the file before it is.
                    bool aDone = *folder.file("a.mid") == cleaned;
                    EXPECT_EQ(result.finishedRows.size(), aDone ? 1u : 0u);
                    EXPECT_EQ(result.logLines.size(), aDone ? 3u : 1u);
                }
            }
        }
    }
    EXPECT_EQ(failedKinds,
        (std::set<std::string>{"open", "read", "resolve", "check-writable", "create", "write",
            "flush", "close", "backup", "rename-no-replace", "rename-replace", "sync"}));
}

// The final rename fails and so does putting the folder back: whatever way the backup was
// made, the name still holds the former bytes, and the message names the backup left.
TEST(CleanRunFaults, FailedUndoLeavesTheNameWithItsFormerBytes)
{
    for (Backup method : {Backup::SecondName, Backup::Copy, Backup::CopyAndLook}) {
        SCOPED_TRACE(static_cast<int>(method));
        Folder folder;
        folder.files.backupBy = method;
        folder.add("a.mid", dirty);
        test::FaultyFileOps files(folder.files);
        files.failKinds = {"rename-replace", "remove"};
        RecordingNotifier notifier;
        CleanRunResult result = cleanFiles(
            folder.entries, {0}, deleteControllers(), files, notifier, Language::English);
        EXPECT_TRUE(result.stoppedEarly);
        EXPECT_EQ(*folder.file("a.mid.bak"), dirty);
        EXPECT_EQ(*folder.file("a.mid"), dirty);
        ASSERT_EQ(notifier.texts.size(), 1u);
        EXPECT_TRUE(
            notifier.texts[0].ends_with("Its former contents also stay in \"/songs/a.mid.bak\"."))
            << notifier.texts[0];
    }
}

TEST(CleanRunFaults, BackupAppearingAfterTheTestIsNotReplaced)
{
    Folder folder;
    folder.add("a.mid", dirty);
    folder.files.files["/songs/a.mid.bak"] = hex("01");
    test::FaultyFileOps files(folder.files);
    files.hideFromKindOf = [](const std::string& path) { return path == "/songs/a.mid.bak"; };
    RecordingNotifier notifier;
    CleanRunResult result =
        cleanFiles(folder.entries, {0}, deleteControllers(), files, notifier, Language::English);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_EQ(*folder.file("a.mid.bak"), hex("01"));
    EXPECT_EQ(*folder.file("a.mid"), dirty);
    EXPECT_EQ(folder.files.files.size(), 2u);
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find("File exists"), std::string::npos) << notifier.texts[0];
}

} // namespace
} // namespace sorvanel
