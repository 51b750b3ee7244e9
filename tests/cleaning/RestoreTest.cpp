#include "cleaning/Restore.h"

#include "FaultyFileOps.h"
#include "platform/Notifier.h"
#include "support/MemoryFileOps.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif
#include <set>

namespace sorvanel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes former = {1, 2, 3};
const Bytes cleanedBytes = {4, 5};

/// Files in memory; the names in `others` stand for something that is not a file.
struct FilesAndOthers : test::MemoryFileOps
{
    std::set<std::string> others;
    EntryKind kindOf(const std::string& path) noexcept override
    {
        return others.count(path) != 0 ? EntryKind::Folder : MemoryFileOps::kindOf(path);
    }
};

struct Folder
{
    FilesAndOthers files;
    std::vector<MidiFileEntry> entries;

    /// A listed file, with a backup unless `backup` is null.
    void add(const std::string& name, const Bytes* backup = &former)
    {
        files.files["/songs/" + name] = cleanedBytes;
        if (backup)
            files.files["/songs/" + name + ".bak"] = *backup;
        entries.push_back({"/songs/" + name, name, {}});
    }
    std::vector<std::size_t> allRows() const
    {
        std::vector<std::size_t> rows;
        for (std::size_t i = 0; i < entries.size(); ++i)
            rows.push_back(i);
        return rows;
    }
};

TEST(Restore, GivesBackTheBackupsAndPassesOverFilesWithout)
{
    Folder folder;
    folder.add("a.mid");
    folder.add("b.mid", nullptr);
    folder.add("c.mid", nullptr);
    folder.files.others.insert("/songs/c.mid.bak"); // holds no former contents
    folder.add("d.mid");
    RecordingNotifier notifier;
    RestoreRunResult result =
        restoreFiles(folder.entries, {0, 1, 2, 9, 3}, folder.files, notifier, Language::English);
    EXPECT_EQ(
        result.logLines, (std::vector<std::string>{"Restored from backup:", "", "a.mid", "d.mid"}));
    EXPECT_EQ(result.finishedRows, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(result.restoredRows, (std::vector<std::size_t>{0, 3}));
    EXPECT_FALSE(result.stoppedEarly);
    EXPECT_EQ(folder.files.files,
        (std::map<std::string, Bytes>{{"/songs/a.mid", former}, {"/songs/b.mid", cleanedBytes},
            {"/songs/c.mid", cleanedBytes}, {"/songs/d.mid", former}}));
    EXPECT_EQ(folder.files.syncCount, 1u);
    EXPECT_TRUE(notifier.texts.empty());

    // Nothing left to restore, in either language.
    for (auto [language, line] : {std::pair{Language::English, "<no original restored>"},
             std::pair{Language::German, "<Kein Original wiederhergestellt>"}}) {
        RestoreRunResult again =
            restoreFiles(folder.entries, folder.allRows(), folder.files, notifier, language);
        EXPECT_EQ(again.logLines, std::vector<std::string>{line});
        EXPECT_EQ(again.finishedRows.size(), 4u);
    }
    EXPECT_EQ(folder.files.syncCount, 1u) << "nothing renamed, nothing to sync";
}

// Each row restores a.mid after `prepare`; what the restore may not lose stays.
TEST(Restore, KeepsWhatTheUserMadeAndGivesBackGoneNames)
{
    const Bytes edited = {7, 7};
    struct Row
    {
        const char* what;
        std::function<void(FilesAndOthers&)> prepare;
        ChangedFiles changed;
        Bytes song; ///< a.mid afterwards; empty: gone
        bool restored;
        const char* message; ///< nullptr: none
    };
    const Row rows[] = {
        {"written after its clean", [&](FilesAndOthers& f) { f.save("/songs/a.mid", edited); },
            ChangedFiles::Keep, edited, false,
            "\"/songs/a.mid\" was changed after it was cleaned and was not restored."},
        {"written after its clean, to the trash",
            [&](FilesAndOthers& f) { f.save("/songs/a.mid", edited); }, ChangedFiles::ToTrash,
            former, true, nullptr},
        {"written after its clean, no trash",
            [&](FilesAndOthers& f) {
                f.save("/songs/a.mid", edited);
                f.hasTrash = false;
            },
            ChangedFiles::ToTrash, edited, false, "Cannot move to the trash"},
        {"name gone", [](FilesAndOthers& f) { f.files.erase("/songs/a.mid"); }, ChangedFiles::Keep,
            former, true, nullptr},
        {"empty backup", [](FilesAndOthers& f) { f.files["/songs/a.mid.bak"] = {}; },
            ChangedFiles::Keep, cleanedBytes, false, nullptr},
        {"write-protected", [](FilesAndOthers& f) { f.readOnly.insert("/songs/a.mid"); },
            ChangedFiles::Keep, cleanedBytes, false, "Cannot write \"/songs/a.mid\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Folder folder;
        folder.add("a.mid");
        row.prepare(folder.files);
        const Bytes backupBefore = folder.files.files.at("/songs/a.mid.bak");
        RecordingNotifier notifier;
        RestoreRunResult result = restoreFiles(
            folder.entries, {0}, folder.files, notifier, Language::English, {}, row.changed);
        EXPECT_EQ(folder.files.files.at("/songs/a.mid"), row.song);
        EXPECT_EQ(result.restoredRows.size(), row.restored ? 1u : 0u);
        if (!row.restored) {
            EXPECT_EQ(folder.files.files.at("/songs/a.mid.bak"), backupBefore);
        }
        if (row.changed == ChangedFiles::ToTrash && row.restored) {
            EXPECT_EQ(folder.files.trash.at("/songs/a.mid"), edited);
        }
        EXPECT_EQ(result.changedRows.size(),
            row.song == edited && row.message != nullptr && row.changed == ChangedFiles::Keep ? 1u
                                                                                              : 0u);
        if (row.message == nullptr) {
            EXPECT_TRUE(notifier.texts.empty()) << notifier.texts[0];
        } else {
            ASSERT_EQ(notifier.texts.size(), 1u);
            EXPECT_TRUE(notifier.texts[0].starts_with(row.message)) << notifier.texts[0];
        }
    }
}

#ifndef _WIN32
// On a real file system: the trash as the desktop keeps it, and what only links show.
TEST(Restore, RealFileSystemCases)
{
    namespace fs = std::filesystem;
    struct Row
    {
        const char* what;
        std::function<void(const test::TempFolder&)> prepare;
        const char* refusal; ///< nullptr: restored
    };
    const Row rows[] = {
        {"written after its clean, to the trash",
            [](const test::TempFolder& f) {
                f.write("a.mid", {7, 7});
                const timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 60, 0}};
                ::utimensat(AT_FDCWD, (f / "a.mid").c_str(), later, 0);
            },
            nullptr},
        {"backup is a link",
            [](const test::TempFolder& f) {
                fs::rename(f.path() / "a.mid.bak", f.path() / "other");
                fs::create_symlink("other", f.path() / "a.mid.bak");
            },
            "is a link, not a copy"},
        {"song is its backup",
            [](const test::TempFolder& f) {
                fs::remove(f.path() / "a.mid");
                fs::create_hard_link(f.path() / "a.mid.bak", f.path() / "a.mid");
            },
            "are one file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempFolder folder;
        fs::create_directory(folder.path() / "data");
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        folder.write("a.mid", cleanedBytes);
        folder.write("a.mid.bak", former);
        row.prepare(folder);
        const Bytes before = folder.read("a.mid");
        NativeFileOps files;
        RecordingNotifier notifier;
        std::vector<MidiFileEntry> entries = {{folder / "a.mid", "a.mid", {}}};
        RestoreRunResult result = restoreFiles(
            entries, {0}, files, notifier, Language::English, {}, ChangedFiles::ToTrash);
        ::unsetenv("XDG_DATA_HOME");
        if (row.refusal != nullptr) {
            EXPECT_TRUE(result.stoppedEarly);
            EXPECT_EQ(folder.read("a.mid"), before);
            ASSERT_EQ(notifier.texts.size(), 1u);
            EXPECT_NE(notifier.texts[0].find(row.refusal), std::string::npos) << notifier.texts[0];
            continue;
        }
        EXPECT_TRUE(notifier.texts.empty()) << notifier.texts[0];
        EXPECT_EQ(folder.read("a.mid"), former);
        EXPECT_EQ(folder.read("data/Trash/files/a.mid"), before);
        const Bytes info = folder.read("data/Trash/info/a.mid.trashinfo");
        const std::string record(info.begin(), info.end());
        EXPECT_TRUE(
            record.starts_with("[Trash Info]\nPath=" + folder / "a.mid" + "\nDeletionDate="))
            << record;
    }
}
#endif

TEST(Restore, ProgressCanStopBetweenFiles)
{
    Folder folder;
    folder.add("a.mid");
    folder.add("b.mid");
    RecordingNotifier notifier;
    std::vector<std::string> names;
    RestoreRunResult result = restoreFiles(folder.entries, folder.allRows(), folder.files, notifier,
        Language::English, [&](std::size_t index, std::size_t count, const std::string& name) {
            EXPECT_EQ(count, 2u);
            names.push_back(name);
            return index == 0;
        });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(names, (std::vector<std::string>{"a.mid", "b.mid"}));
    EXPECT_EQ(result.finishedRows, std::vector<std::size_t>{0});
    EXPECT_EQ(folder.files.files.at("/songs/b.mid"), cleanedBytes);
    EXPECT_EQ(folder.files.files.at("/songs/b.mid.bak"), former);
}

// Fails each step of restoring two files in turn: a failed rename leaves the file and its
// backup as they were, the run stops there with the failure's text, and a file restored
// before it stays restored; a failed flush at the end is reported after the renames.
TEST(RestoreFaults, AFailedRenameLeavesBothNamesAsTheyWere)
{
    std::set<std::string> failedKinds;
    for (int failAt = 0;; ++failAt) {
        Folder folder;
        folder.add("a.mid");
        folder.add("b.mid");
        test::FaultyFileOps files(folder.files);
        files.failAt = failAt;
        RecordingNotifier notifier;
        RestoreRunResult result =
            restoreFiles(folder.entries, folder.allRows(), files, notifier, Language::English);
        bool failed = failAt < files.steps;
        SCOPED_TRACE("failing step " + std::to_string(failAt));
        std::size_t restored = 0;
        for (const char* name : {"/songs/a.mid", "/songs/b.mid"}) {
            const Bytes& now = folder.files.files.at(name);
            restored += now == former;
            EXPECT_TRUE(now == former || now == cleanedBytes) << name;
            EXPECT_EQ(folder.files.files.count(std::string(name) + ".bak"), now == former ? 0u : 1u)
                << name;
        }
        EXPECT_EQ(result.restoredRows.size(), restored);
        if (!failed) {
            EXPECT_FALSE(result.stoppedEarly);
            EXPECT_EQ(restored, 2u);
            break;
        }
        const std::string& step = files.stepsTaken[static_cast<std::size_t>(failAt)];
        std::string kind = step.substr(0, step.find(' '));
        failedKinds.insert(kind);
        EXPECT_EQ(result.stoppedEarly, kind != "sync");
        EXPECT_EQ(result.syncFailed, kind == "sync");
        ASSERT_EQ(notifier.texts.size(), 1u);
        EXPECT_NE(notifier.texts[0].find("Injected"), std::string::npos);
        ASSERT_LT(failAt, 10) << "the sweep does not end";
    }
    EXPECT_EQ(failedKinds,
        (std::set<std::string>{"resolve", "check-writable", "rename-replace", "sync"}));
}

} // namespace
} // namespace sorvanel
