#include "cleaning/FileList.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "support/MemoryFileOps.h"
#include "support/MidiBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace sorvanel {
namespace {

using test::operator+;

int sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(CompareEntryNames, FoldsOnlyAsciiCapitals)
{
    struct Row
    {
        const char* a;
        const char* b;
        int expected;
    };
    const Row rows[] = {
        {"a.mid", "A.MID", 0}, {"A.mid", "b.mid", -1},
        {"a_b.mid", "ab.mid", -1}, // '_' 0x5F is below the folded 'b' 0x62
        {"Z.mid", "_.mid", 1}, // 'Z' folds to 0x7A, above '_'
        {"a", "ab", -1}, {"ab", "a", 1}, {"", "", 0},
        {"\xC4.mid", "a.mid", 1}, // bytes above 0x7F are unsigned and never folded
        {"\xC4.mid", "\xE4.mid", -1},
        {"[.mid", "a.mid", -1}, // '[' 0x5B stays below letters only when they are folded
    };
    for (const Row& row : rows) {
        EXPECT_EQ(sign(CompareEntryNames(row.a, row.b)), row.expected) << row.a << " / " << row.b;
        EXPECT_EQ(sign(CompareEntryNames(row.b, row.a)), -row.expected) << row.b << " / " << row.a;
    }
}

std::vector<std::string> namesAfterSort(const std::vector<std::string>& names)
{
    std::vector<MidiFileEntry> entries;
    for (const std::string& name : names)
        entries.push_back({"/f/" + name, name, {}});
    sortEntries(entries);
    std::vector<std::string> sorted;
    for (const MidiFileEntry& entry : entries) {
        EXPECT_EQ(entry.fullPath, "/f/" + entry.fileName) << "entries move whole";
        sorted.push_back(entry.fileName);
    }
    return sorted;
}

TEST(sortEntries, OrdersByFoldedName)
{
    struct Row
    {
        std::vector<std::string> names;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {{}, {}},
        {{"x.mid"}, {"x.mid"}},
        {{"b.mid", "A.mid", "d.MID"}, {"A.mid", "b.mid", "d.MID"}},
        {{"ab.mid", "a_b.mid"}, {"a_b.mid", "ab.mid"}},
        {{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"},
            {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        // Names equal but for case keep the order this Shell sort gives them: gap 2 swaps b
        // with a and B with A; gap 1 swaps nothing that compares equal.
        {{"b", "B", "a", "A"}, {"a", "A", "b", "B"}},
        {{"A", "b", "a", "B"}, {"A", "a", "b", "B"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(namesAfterSort(row.names), row.expected);
}

TEST(sortEntries, SortsLargeListsLikeAStableReference)
{
    // Distinct names: any correct sort gives one order.
    std::vector<std::string> names;
    unsigned state = 7;
    for (int i = 0; i < 1000; ++i) {
        state = state * 1103515245u + 12345u;
        names.push_back(std::to_string(state % 100000) + "_" + std::to_string(i) + ".mid");
    }
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(),
        [](const std::string& a, const std::string& b) { return CompareEntryNames(a, b) < 0; });
    EXPECT_EQ(namesAfterSort(names), expected);
}

TEST(FileList, ListableNames)
{
    struct Row
    {
        const char* name;
        bool listable;
    };
    const Row rows[] = {
        {"a.mid", true},
        {"a.MID", true},
        {"a.Mid", true},
        {".mid", false},
        {".a.mid", false},
        {"a.mid.bak", false},
        {"a.midi", false},
        {"amid", false},
        {"a.mi", false},
        {"mid", false},
        {"x .mid", true},
        {"a.mid ", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(isListableName(row.name), row.listable) << row.name;
}

TEST(FileList, JoinsWithOneSeparator)
{
    const std::string separator(1, pathSeparator);
    EXPECT_EQ(joinPath("/songs", "a.mid"), "/songs" + separator + "a.mid");
    EXPECT_EQ(joinPath("/songs/", "a.mid"), "/songs/a.mid");
    EXPECT_EQ(joinPath("/", "a.mid"), "/a.mid");
    EXPECT_EQ(joinPath("d", "a.mid"), "d" + separator + "a.mid");
#ifdef _WIN32
    EXPECT_EQ(joinPath("C:\\songs", "a.mid"), "C:\\songs\\a.mid");
    EXPECT_EQ(joinPath("C:\\", "a.mid"), "C:\\a.mid");
    EXPECT_EQ(joinPath("C:", "a.mid"), "C:a.mid");
    EXPECT_EQ(folderOf("C:\\songs\\a.mid"), "C:\\songs");
    EXPECT_EQ(folderOf("C:/a.mid"), "C:/");
    EXPECT_EQ(folderOf("C:a.mid"), "C:");
    EXPECT_EQ(folderOf("\\\\server\\share\\a.mid"), "\\\\server\\share\\");
    EXPECT_EQ(nameOf("C:\\songs/a.mid"), "a.mid");
    EXPECT_EQ(nameOf("C:a.mid"), "a.mid");
#endif
    EXPECT_EQ(folderOf("/songs/a.mid"), "/songs");
    EXPECT_EQ(folderOf("/a.mid"), "/");
    EXPECT_EQ(folderOf("a.mid"), ".");
    EXPECT_EQ(nameOf("/songs/a.mid"), "a.mid");
    EXPECT_FALSE(isAbsolutePath("a.mid"));
#ifdef _WIN32
    EXPECT_TRUE(isAbsolutePath("C:\\songs"));
    EXPECT_TRUE(isAbsolutePath("\\\\server\\share"));
    EXPECT_FALSE(isAbsolutePath("C:songs")); // in the current folder of drive C:
    EXPECT_FALSE(isAbsolutePath("\\songs")); // on the current drive
#else
    EXPECT_TRUE(isAbsolutePath("/songs"));
#endif
}

TEST(FileList, ScanListsValidSongFilesSortedWithTitles)
{
    test::MemoryFileOps files;
    const auto song = [](const char* title) {
        return test::smf({test::track(test::hex("00 FF 03")
            + test::varLen(static_cast<std::uint32_t>(std::strlen(title))) + test::text(title))});
    };
    const auto at = [](const char* name) { return joinPath("/f", name); };
    files.files[at("b.mid")] = song("Bee");
    files.files[at("A.MID")] = song("Ay");
    files.files[at("broken.mid")] = test::hex("00 01 02");
    files.files[at("empty.mid")] = {};
    files.files[at(".hidden.mid")] = song("Hidden");
    files.files[at("a.mid.bak")] = song("Backup");
    files.files[at("notes.txt")] = {};
    files.files[joinPath("/other", "c.mid")] = song("Elsewhere");
    RecordingNotifier notifier;
    std::vector<MidiFileEntry> entries = scanFolder("/f", files, notifier);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].fileName, "A.MID");
    EXPECT_EQ(entries[0].fullPath, at("A.MID"));
    EXPECT_EQ(entries[0].title, "Ay");
    EXPECT_EQ(entries[1].fileName, "b.mid");
    EXPECT_EQ(entries[2].fileName, "empty.mid");
    EXPECT_EQ(entries[2].title, "");
    ASSERT_EQ(notifier.texts.size(), 1u) << "one message for the broken file";
    EXPECT_NE(notifier.texts[0].find(at("broken.mid")), std::string::npos);
}

TEST(FileList, ScanStoppedHalfwayListsTheFirstFilesByName)
{
    test::MemoryFileOps files;
    for (const char* name : {"d.mid", "B.mid", "a.mid", "c.mid", "skip.txt"})
        files.files[joinPath("/f", name)] = {};
    RecordingNotifier notifier;
    std::vector<std::string> read;
    std::vector<MidiFileEntry> entries = scanFolder("/f", files, notifier, false,
        [&](std::size_t index, std::size_t count, const std::string& name) {
            EXPECT_EQ(count, 4u);
            read.push_back(name);
            return index < 2;
        });
    EXPECT_EQ(read, (std::vector<std::string>{"a.mid", "B.mid", "c.mid"}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fileName, "a.mid");
    EXPECT_EQ(entries[1].fileName, "B.mid");
}

TEST(FileList, MissingOrEmptyFolderGivesNothingQuietly)
{
    NativeFileOps files;
    RecordingNotifier notifier;
    EXPECT_TRUE(scanFolder("", files, notifier).empty());
    EXPECT_TRUE(scanFolder("/no/such/folder", files, notifier).empty());
    EXPECT_TRUE(notifier.texts.empty());
    EXPECT_THROW(listMidiFiles("/no/such/folder", files, notifier), FileError);
}

TEST(FileList, RealFolderListsOnlyRegularFilesThatAreNotHidden)
{
    test::TempFolder folder;
    const auto valid = test::smf({test::track({})});
    folder.write("x.mid", valid);
    folder.write(".y.mid", valid);
    std::filesystem::create_directory(folder.path() / "z.mid");
    std::vector<std::string> expected = {folder / "x.mid"};
#ifndef _WIN32
    // Only regular files are songs: a pipe would make the scan wait for a writer forever.
    ::mkfifo((folder / "p.mid").c_str(), 0600);
    std::filesystem::create_symlink("nowhere", folder.path() / "d.mid");
    std::filesystem::create_symlink("x.mid", folder.path() / "l.mid");
    expected.insert(expected.begin(), folder / "l.mid");
    // A link named as a song that leads to a backup is no song.
    folder.write("x.mid.bak", valid);
    std::filesystem::create_symlink("x.mid.bak", folder.path() / "b.mid");
#endif
    NativeFileOps files;
    RecordingNotifier notifier;
    auto entries = scanFolder(folder.path().string() + pathSeparator, files, notifier);
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(entries[i].fullPath, expected[i]);
    EXPECT_TRUE(notifier.texts.empty());

    // A restore takes the same songs unread, and the name of a song whose backup alone is left.
    folder.write("gone.mid.bak", {});
    auto restorable = listRestorableFiles(folder.path().string(), files, notifier);
    expected.insert(expected.begin(), joinPath(folder.path().string(), "gone.mid"));
    ASSERT_EQ(restorable.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(restorable[i].fullPath, expected[i]);
}

TEST(FileList, SubfoldersFolderByFolder)
{
    // A tree as "name" (a song file), "name/" (a folder) or "name>target" (a symbolic link).
    struct Row
    {
        const char* what;
        std::vector<std::string> tree;
        std::vector<std::string> withSubfolders;
        std::vector<std::string> without;
    };
    const std::vector<Row> rows = {
        {"nested",
            {"top.mid", "Pop/", "Pop/x.mid", "jazz/", "jazz/y.mid", "jazz/Live/", "jazz/Live/z.mid",
                "jazz/a.MID", "jazz/notes.txt"},
            {"top.mid", "jazz/a.MID", "jazz/y.mid", "jazz/Live/z.mid", "Pop/x.mid"}, {"top.mid"}},
        {"hidden folder", {".cache/", ".cache/a.mid", "vis/", "vis/b.mid"}, {"vis/b.mid"}, {}},
        {"link loop", {"sub/", "sub/a.mid", "sub/up>..", "sub/self>.", "link>sub"}, {"sub/a.mid"},
            {}},
        {"empty folders", {"empty/", "empty/deeper/"}, {}, {}},
    };
    const auto song = test::smf({test::track({})});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
#ifdef _WIN32
        if (std::string(row.what) == "link loop")
            continue; // symbolic links are a POSIX case here
#endif
        test::TempFolder folder;
        for (const std::string& item : row.tree) {
            auto arrow = item.find('>');
            if (arrow != std::string::npos)
                std::filesystem::create_directory_symlink(
                    item.substr(arrow + 1), folder.path() / item.substr(0, arrow));
            else if (item.back() == '/')
                std::filesystem::create_directory(folder.path() / item);
            else
                folder.write(item, song);
        }
        NativeFileOps files;
        RecordingNotifier notifier;
        for (bool include : {true, false}) {
            std::vector<std::string> names;
            for (const MidiFileEntry& entry :
                scanFolder(folder.path().string(), files, notifier, include)) {
                EXPECT_EQ(std::filesystem::path(entry.fullPath), folder.path() / entry.fileName);
                names.push_back(entry.fileName);
            }
            EXPECT_EQ(names, include ? row.withSubfolders : row.without);
        }
        EXPECT_TRUE(notifier.texts.empty());
    }
}

} // namespace
} // namespace sorvanel
