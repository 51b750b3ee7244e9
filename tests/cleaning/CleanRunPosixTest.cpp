// The run against the real file system: permissions, real renames and real failures.
#include "FaultyFileOps.h"
#include "cleaning/CleanRun.h"
#include "platform/Notifier.h"
#include "support/MidiBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvanel {
namespace {

using test::Bytes;
using test::hex;
namespace fs = std::filesystem;

const Bytes dirty = test::smf({test::track(hex("00 B0 4A 10 | 00 90 3C 40 | 10 80 3C 00"))});
const Bytes cleaned = test::smf({test::track(hex("00 90 3C 40 | 10 80 3C 00"))});

CleanOptions deleteControllers()
{
    CleanOptions options;
    options.DeleteAllControlEvents = 1;
    options.ExceptControlEvents = 0;
    return options;
}

unsigned modeOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

CleanRunResult cleanOne(const test::TempFolder& folder, const std::string& name, FileOps& files,
    RecordingNotifier& notifier)
{
    std::vector<MidiFileEntry> entries = {{folder / name, name, {}}};
    return cleanFiles(entries, {0}, deleteControllers(), files, notifier, Language::English);
}

TEST(CleanRunPosix, ReplacesTheFileKeepingItsPermissionsAndMakesTheBackup)
{
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    ::chmod((folder / "a.mid").c_str(), 0604);
    PosixFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
    EXPECT_FALSE(result.stoppedEarly);
    EXPECT_EQ(folder.read("a.mid"), cleaned);
    EXPECT_EQ(folder.read("a.mid.bak"), dirty);
    EXPECT_EQ(modeOf(folder / "a.mid"), 0604u);
    EXPECT_EQ(modeOf(folder / "a.mid.bak"), 0604u);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.mid", "a.mid.bak"}));
    EXPECT_TRUE(notifier.texts.empty());
}

TEST(CleanRunPosix, AnExistingBackupIsKeptEvenWhenItCannotBeRead)
{
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    folder.write("a.mid.bak", hex("01 02"));
    ::chmod((folder / "a.mid.bak").c_str(), 0);
    PosixFileOps files;
    RecordingNotifier notifier;
    cleanOne(folder, "a.mid", files, notifier);
    EXPECT_EQ(folder.read("a.mid"), cleaned);
    EXPECT_EQ(modeOf(folder / "a.mid.bak"), 0u);
    ::chmod((folder / "a.mid.bak").c_str(), 0600);
    EXPECT_EQ(folder.read("a.mid.bak"), hex("01 02"));
}

TEST(CleanRunPosix, BackupAppearingBetweenTestAndRenameIsNotReplaced)
{
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    folder.write("a.mid.bak", hex("01"));
    PosixFileOps real;
    test::FaultyFileOps files(real);
    files.hideFromExists = [](const std::string& path) { return path.ends_with(".bak"); };
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_EQ(folder.read("a.mid.bak"), hex("01"));
    EXPECT_EQ(folder.read("a.mid"), dirty);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.mid", "a.mid.bak"}));
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find("File exists"), std::string::npos) << notifier.texts[0];
}

/// Runs over one dirty file after `breakIt` and expects the run to stop with `expected` in
/// its message, leaving the folder exactly as it was.
void expectFailureLeavesFileAsItWas(const std::string& fileName,
    const std::function<void(const test::TempFolder&)>& breakIt, const char* expected)
{
    test::TempFolder folder;
    folder.write(fileName, dirty);
    breakIt(folder);
    PosixFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, fileName, files, notifier);
    ::chmod(folder.path().c_str(), 0700);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_EQ(folder.read(fileName), dirty);
    EXPECT_EQ(folder.names(), std::vector<std::string>{fileName});
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find(expected), std::string::npos) << notifier.texts[0];
}

TEST(CleanRunPosix, ReadOnlyFolderLeavesTheFileAsItWas)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores permissions";
    expectFailureLeavesFileAsItWas(
        "a.mid", [](const test::TempFolder& f) { ::chmod(f.path().c_str(), 0555); },
        "Permission denied");
}

TEST(CleanRunPosix, NameAtTheLengthLimitLeavesTheFileAsItWas)
{
    // A real failure for every user: the temporary name is longer than the file's own.
    expectFailureLeavesFileAsItWas(
        std::string(250, 'n') + ".mid", [](const test::TempFolder&) {}, "File name too long");
}

TEST(CleanRunPosix, VanishedFolderStopsTheRun)
{
    std::string path;
    {
        test::TempFolder folder;
        path = folder / "a.mid";
    }
    std::vector<MidiFileEntry> entries = {{path, "a.mid", {}}};
    PosixFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result =
        cleanFiles(entries, {0}, deleteControllers(), files, notifier, Language::English);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_TRUE(result.finishedRows.empty());
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find("No such file or directory"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
}

} // namespace
} // namespace sorvanel
