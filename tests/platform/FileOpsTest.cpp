#include "platform/FileOps.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvanel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

unsigned modeOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

int errorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FileError& error) {
        return error.errorNumber();
    }
    return 0;
}

TEST(PosixFileOps, TemporaryFileIsHiddenBesideTheTargetWithItsPermissions)
{
    test::TempFolder folder;
    folder.write("a.mid", {1});
    ::chmod((folder / "a.mid").c_str(), 0640);
    PosixFileOps files;
    const Bytes data = {1, 2, 3};
    for (bool sync : {false, true}) {
        std::string temporary =
            files.writeTemporary(folder / "a.mid", data.data(), data.size(), sync);
        fs::path path(temporary);
        EXPECT_EQ(path.parent_path(), folder.path());
        EXPECT_EQ(path.filename().string().front(), '.');
        EXPECT_FALSE(path.filename().string().ends_with(".mid"));
        EXPECT_EQ(modeOf(temporary), 0640u);
        EXPECT_EQ(folder.read(path.filename().string()), data);
        files.removeQuietly(temporary);
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mid"});
}

TEST(PosixFileOps, FailedTemporaryFileLeavesNothing)
{
    test::TempFolder folder;
    PosixFileOps files;
    const Bytes data = {1};
    EXPECT_EQ(errorOf([&] { files.writeTemporary(folder / "gone/a.mid", data.data(), 1, false); }),
        ENOENT);
    EXPECT_TRUE(folder.names().empty());
}

TEST(PosixFileOps, RenameWithoutReplaceRefusesAnExistingTarget)
{
    test::TempFolder folder;
    folder.write("a.mid", {1});
    folder.write("a.mid.bak", {2});
    PosixFileOps files;
    EXPECT_EQ(
        errorOf([&] { files.renameNoReplace(folder / "a.mid", folder / "a.mid.bak"); }), EEXIST);
    EXPECT_EQ(folder.read("a.mid"), Bytes{1});
    EXPECT_EQ(folder.read("a.mid.bak"), Bytes{2});

    files.renameReplace(folder / "a.mid", folder / "a.mid.bak");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mid.bak"});
    EXPECT_EQ(folder.read("a.mid.bak"), Bytes{1});
    files.renameNoReplace(folder / "a.mid.bak", folder / "b.mid");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"b.mid"});
}

TEST(PosixFileOps, KindOfNamesWhatHoldsTheName)
{
    test::TempFolder folder;
    folder.write("file", {});
    fs::create_directory(folder.path() / "dir");
    fs::create_symlink(folder.path() / "nowhere", folder.path() / "dangling");
    PosixFileOps files;
    struct Row
    {
        const char* name;
        EntryKind kind;
    };
    const Row rows[] = {{"file", EntryKind::File}, {"dir", EntryKind::Folder},
        {"dangling", EntryKind::BrokenLink}, {"missing", EntryKind::Missing},
        {"file/inside", EntryKind::Missing}, {"dir/missing", EntryKind::Missing}};
    for (const Row& row : rows)
        EXPECT_EQ(files.kindOf(folder / row.name), row.kind) << row.name;
}

TEST(PosixFileOps, RemovesOnlyOldLeftoversOfItsOwnName)
{
    test::TempFolder folder;
    const char* names[] = {".sorvanel-Old123", ".sorvanel-New123", ".sorvanel-Old1234", "Old.mid"};
    for (const char* name : names)
        folder.write(name, {});
    auto twoDaysAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (const char* name : {".sorvanel-Old123", ".sorvanel-Old1234", "Old.mid"})
        fs::last_write_time(folder.path() / name, twoDaysAgo);
    PosixFileOps files;
    files.removeLeftovers(folder.path().string());
    EXPECT_EQ(folder.names(),
        (std::vector<std::string>{".sorvanel-New123", ".sorvanel-Old1234", "Old.mid"}));
    files.syncFolder(folder.path().string());
    EXPECT_EQ(errorOf([&] { files.syncFolder(folder / "missing"); }), ENOENT);
}

TEST(PosixFileOps, ListsNamesWithTheirKind)
{
    test::TempFolder folder;
    folder.write("a.mid", {});
    folder.write(".b.mid", {});
    fs::create_directory(folder.path() / "c.mid");
    fs::create_directory_symlink(folder.path() / "c.mid", folder.path() / "d.mid");
    fs::create_symlink("a.mid", folder.path() / "e.mid");
    ::mkfifo((folder / "f.mid").c_str(), 0600);
    PosixFileOps files;
    auto items = files.listFolder(folder.path().string());
    std::sort(items.begin(), items.end(),
        [](const FolderItem& x, const FolderItem& y) { return x.name < y.name; });
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].name, ".b.mid");
    EXPECT_TRUE(items[0].isHidden);
    EXPECT_EQ(items[1].name, "a.mid");
    EXPECT_FALSE(items[1].isHidden || items[1].isDirectory);
    EXPECT_TRUE(items[1].isFile);
    EXPECT_TRUE(items[2].isDirectory && !items[2].isFile);
    EXPECT_TRUE(items[3].isDirectory) << "a link to a folder counts as a folder";
    EXPECT_TRUE(items[4].isFile) << "a link to a file counts as a file";
    EXPECT_FALSE(items[5].isFile || items[5].isDirectory) << "a pipe is neither";
    EXPECT_EQ(errorOf([&] { files.listFolder(folder / "missing"); }), ENOENT);
}

TEST(PosixFileOps, ReadsWholeFiles)
{
    test::TempFolder folder;
    folder.write("empty.mid", {});
    folder.write("a.mid", {1, 2, 3});
    PosixFileOps files;
    Bytes image = {9, 9, 9, 9, 9};
    files.readWhole(folder / "a.mid", image);
    EXPECT_EQ(image, (Bytes{1, 2, 3}));
    files.readWhole(folder / "empty.mid", image);
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(errorOf([&] { files.readWhole(folder.path().string(), image); }), EISDIR);
    EXPECT_EQ(errorOf([&] { files.readWhole(folder / "missing.mid", image); }), ENOENT);
    // A pipe is refused at once instead of waiting for a writer.
    ::mkfifo((folder / "pipe.mid").c_str(), 0600);
    EXPECT_THROW(files.readWhole(folder / "pipe.mid", image), FileError);
    // Too large is told from the size, before anything is allocated or read (sparse file).
    std::filesystem::resize_file(folder.path() / "a.mid", 0x80000000u);
    EXPECT_EQ(errorOf([&] { files.readWhole(folder / "a.mid", image); }), EFBIG);
    EXPECT_TRUE(image.empty());
}

} // namespace
} // namespace sorvanel
