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

TEST(CleanRun, StopsAtARefusedFile)
{
    struct Row
    {
        const char* name;
        Bytes first;
        std::vector<std::string> log;
    };
    const Row rows[] = {
        {"first changed", dirty, {"File\tSysEx\tContr.\tReset", "", "a.mid\t   0\t   1\t   0"}},
        {"first unchanged", alreadyClean, {"<no midi file changed>"}},
    };
    for (const Row& row : rows) {
        Folder folder;
        folder.add("a.mid", row.first);
        folder.add("b.mid", broken);
        folder.add("c.mid", dirty);
        RecordingNotifier notifier;
        CleanRunResult result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
            folder.files, notifier, Language::English);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(result.logLines, row.log);
        EXPECT_TRUE(result.stoppedEarly);
        EXPECT_EQ(result.finishedRows, std::vector<std::size_t>{0});
        ASSERT_EQ(notifier.texts.size(), 1u);
        EXPECT_NE(notifier.texts[0].find("/songs/b.mid"), std::string::npos) << notifier.texts[0];
        EXPECT_EQ(*folder.file("b.mid"), broken);
        EXPECT_EQ(*folder.file("c.mid"), dirty);
        EXPECT_EQ(folder.file("c.mid.bak"), nullptr);
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
    EXPECT_EQ(files.log.back(), "sync-all");
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
    for (const std::string& step : files.log)
        EXPECT_TRUE(step.rfind("open ", 0) == 0 || step.rfind("read ", 0) == 0) << step;
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
        EXPECT_EQ(folder.files.syncCount, 1u) << "what was written before is synced";
    }
}

// Fails every step of a run over two files in turn, with and without an existing backup, and
// checks what a failure may leave: each file's name holds its old bytes or its complete new
// contents, an existing backup is untouched, a new backup holds the old bytes, nothing else
// is left in the folder, and the run reports the failure and stops.
TEST(CleanRunFaults, EveryFailingStepLeavesEveryFileWhole)
{
    const Bytes oldBackup = hex("01 02 03");
    std::set<std::string> failedKinds;
    for (bool hadBackup : {false, true}) {
        for (int failAt = 0;; ++failAt) {
            Folder folder;
            folder.add("a.mid", dirty);
            folder.add("b.mid", dirty);
            if (hadBackup) {
                folder.files.files["/songs/a.mid.bak"] = oldBackup;
                folder.files.files["/songs/b.mid.bak"] = oldBackup;
            }
            test::FaultyFileOps files(folder.files);
            files.failAt = failAt;
            RecordingNotifier notifier;
            CleanRunResult result = cleanFiles(folder.entries, allRows(folder), deleteControllers(),
                files, notifier, Language::English);
            bool failed = failAt < files.steps;
            SCOPED_TRACE(std::string(hadBackup ? "with" : "without") + " backup, failing step "
                + std::to_string(failAt) + ": "
                + (failed ? files.log[static_cast<std::size_t>(failAt)] : "none"));

            for (const char* name : {"a.mid", "b.mid"}) {
                const Bytes& now = *folder.file(name);
                EXPECT_TRUE(now == dirty || now == cleaned) << name;
                const Bytes* backup = folder.file(std::string(name) + ".bak");
                if (hadBackup) {
                    ASSERT_NE(backup, nullptr);
                    EXPECT_EQ(*backup, oldBackup);
                } else if (now == cleaned) {
                    ASSERT_NE(backup, nullptr) << name << " changed without a backup";
                    EXPECT_EQ(*backup, dirty);
                } else {
                    EXPECT_EQ(backup, nullptr) << name;
                }
            }
            for (const auto& [path, contents] : folder.files.files)
                EXPECT_TRUE(path.ends_with(".mid") || path.ends_with(".mid.bak"))
                    << path << " was left behind";
            if (!failed) {
                EXPECT_FALSE(result.stoppedEarly);
                EXPECT_EQ(*folder.file("b.mid"), cleaned);
                break;
            }
            const std::string& step = files.log[static_cast<std::size_t>(failAt)];
            failedKinds.insert(step.substr(0, step.find(' ')));
            EXPECT_TRUE(result.stoppedEarly);
            ASSERT_EQ(notifier.texts.size(), 1u);
            EXPECT_NE(notifier.texts[0].find("Injected"), std::string::npos);
            // A failing file is not finished; the file before it is.
            bool aDone = *folder.file("a.mid") == cleaned;
            EXPECT_EQ(result.finishedRows.size(), aDone ? 1u : 0u);
            EXPECT_EQ(result.logLines.size(), aDone ? 3u : 1u);
            ASSERT_LT(failAt, 40) << "the sweep does not end";
        }
    }
    EXPECT_EQ(failedKinds,
        (std::set<std::string>{"open", "read", "create", "write", "flush", "close",
            "rename-no-replace", "rename-replace"}));
}

TEST(CleanRunFaults, BackupAppearingAfterTheTestIsNotReplaced)
{
    Folder folder;
    folder.add("a.mid", dirty);
    folder.files.files["/songs/a.mid.bak"] = hex("01");
    test::FaultyFileOps files(folder.files);
    files.hideFromExists = [](const std::string& path) { return path == "/songs/a.mid.bak"; };
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
