#include "platform/FileOps.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sorvanel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The same contract on every system, run against the file layer the program is built with;
// what only one system can show is marked so.

#ifndef _WIN32
unsigned modeOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}
#else
bool hasHiddenAttribute(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}
#endif

int errorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FileError& error) {
        return error.errorNumber();
    }
    return 0;
}

TEST(FileOps, TemporaryFileIsHiddenBesideTheTargetWithItsPermissions)
{
    test::TempFolder folder;
    folder.write("a.mid", {1});
    NativeFileOps files;
    const Bytes data = {1, 2, 3};
    // 0666 is more than the usual creation mask lets through; the second round asks after
    // the file first, as a rewrite does.
    for ([[maybe_unused]] unsigned mode : {0640u, 0666u}) {
#ifndef _WIN32
        ::chmod((folder / "a.mid").c_str(), mode);
#endif
        for (bool sync : {false, true}) {
            if (sync)
                files.resolveLinks(folder / "a.mid");
            std::string temporary =
                files.writeTemporary(folder / "a.mid", data.data(), data.size(), sync);
            fs::path path(temporary);
            EXPECT_EQ(path.parent_path(), folder.path());
            EXPECT_EQ(path.filename().string().front(), '.');
            EXPECT_FALSE(path.filename().string().ends_with(".mid"));
#ifndef _WIN32
            EXPECT_EQ(modeOf(temporary), mode);
#else
            EXPECT_TRUE(hasHiddenAttribute(temporary));
#endif
            EXPECT_EQ(folder.read(path.filename().string()), data);
            files.removeQuietly(temporary);
        }
    }
#ifndef _WIN32
    // Another group than the process's is kept where the process may set it.
    if (::geteuid() == 0 && ::chown((folder / "a.mid").c_str(), 0, 4321) == 0) {
        std::string temporary = files.writeTemporary(folder / "a.mid", data.data(), 1, false);
        struct stat info
        {
        };
        EXPECT_TRUE(::stat(temporary.c_str(), &info) == 0 && info.st_gid == 4321u);
        files.removeQuietly(temporary);
    }
#endif
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mid"});
}

TEST(FileOps, FailedTemporaryFileLeavesNothing)
{
    test::TempFolder folder;
    NativeFileOps files;
    const Bytes data = {1};
    EXPECT_EQ(errorOf([&] { files.writeTemporary(folder / "gone/a.mid", data.data(), 1, false); }),
        ENOENT);
    EXPECT_TRUE(folder.names().empty());
}

TEST(FileOps, RenameWithoutReplaceRefusesAnExistingTarget)
{
    test::TempFolder folder;
    folder.write("a.mid", {1});
    folder.write("a.mid.bak", {2});
    NativeFileOps files;
    EXPECT_EQ(
        errorOf([&] { files.renameNoReplace(folder / "a.mid", folder / "a.mid.bak"); }), EEXIST);
    EXPECT_EQ(folder.read("a.mid"), Bytes{1});
    EXPECT_EQ(folder.read("a.mid.bak"), Bytes{2});

    // A temporary file takes the name and looks like the file it replaces, not hidden.
    std::string temporary = files.writeTemporary(folder / "a.mid", Bytes{1}.data(), 1, false);
    files.renameReplace(temporary, folder / "a.mid.bak");
    EXPECT_EQ(folder.read("a.mid.bak"), Bytes{1});
#ifdef _WIN32
    EXPECT_FALSE(hasHiddenAttribute(folder / "a.mid.bak"));
#endif
    files.renameReplace(folder / "a.mid", folder / "a.mid.bak");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mid.bak"});
    EXPECT_EQ(folder.read("a.mid.bak"), Bytes{1});
    files.renameNoReplace(folder / "a.mid.bak", folder / "b.mid");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"b.mid"});
}

TEST(FileOps, KindOfNamesWhatHoldsTheName)
{
    test::TempFolder folder;
    folder.write("file", {});
    fs::create_directory(folder.path() / "dir");
    NativeFileOps files;
    struct Row
    {
        const char* name;
        EntryKind kind;
    };
    std::vector<Row> rows = {{"file", EntryKind::File}, {"dir", EntryKind::Folder},
        {"missing", EntryKind::Missing}, {"file/inside", EntryKind::Missing},
        {"dir/missing", EntryKind::Missing}};
#ifndef _WIN32
    fs::create_symlink(folder.path() / "nowhere", folder.path() / "dangling");
    fs::create_symlink("loop", folder.path() / "loop");
    fs::create_symlink("file", folder.path() / "to-file");
    fs::create_symlink("dir", folder.path() / "to-dir");
    ::mkfifo((folder.path() / "pipe").c_str(), 0600);
    fs::create_symlink("pipe", folder.path() / "to-pipe");
    rows.insert(rows.end(),
        {{"dangling", EntryKind::BrokenLink}, {"loop", EntryKind::BrokenLink},
            {"loop/inside", EntryKind::BrokenLink}, {"to-file", EntryKind::File},
            {"to-dir", EntryKind::Folder}, {"pipe", EntryKind::Other},
            {"to-pipe", EntryKind::Other}});
#endif
    for (const Row& row : rows)
        EXPECT_EQ(files.kindOf(folder / row.name), row.kind) << row.name;
}

TEST(FileOps, TemporaryNamesAreNoNamesPeoplePickAndFoldersFlush)
{
    // What a user or another program may name a file is never taken for one of ours.
    for (const char* name : {".sorvanel-Old123", ".sorvanel-backup", ".sorvanel-config",
             ".sorvanel~Old12345.tmp.mid", ".sorvanel~Old1234.tmp", "a.mid"})
        EXPECT_FALSE(isTemporaryName(name)) << name;
    EXPECT_TRUE(isTemporaryName(".sorvanel~Old12345.tmp"));
    for (std::uint64_t random : {0ull, 61ull, ~0ull})
        EXPECT_TRUE(isTemporaryName(temporaryName(random))) << temporaryName(random);
    EXPECT_NE(temporaryName(1), temporaryName(2));

    test::TempFolder folder;
    folder.write("a.mid", {1});
    NativeFileOps files;
    files.syncFolder(folder.path().string());
    files.syncFolder(folder / "a.mid"); // through a file written there
    EXPECT_EQ(errorOf([&] { files.syncFolder(folder / "missing"); }), ENOENT);
}

TEST(FileOps, ListsNamesWithTheirKind)
{
    test::TempFolder folder;
    folder.write("a.mid", {});
    folder.write(".b.mid", {});
    fs::create_directory(folder.path() / "c.mid");
    struct Row
    {
        const char* name;
        bool isFile, isDirectory, isHidden;
    };
    std::vector<Row> rows = {{".b.mid", true, false, true}, {"a.mid", true, false, false},
        {"c.mid", false, true, false}};
#ifndef _WIN32
    fs::create_directory_symlink(folder.path() / "c.mid", folder.path() / "d.mid");
    fs::create_symlink("a.mid", folder.path() / "e.mid");
    ::mkfifo((folder / "f.mid").c_str(), 0600);
    // A link counts as what it leads to; a pipe is neither a file nor a folder.
    rows.insert(rows.end(),
        {{"d.mid", false, true, false}, {"e.mid", true, false, false},
            {"f.mid", false, false, false}});
#else
    folder.write("g.mid", {});
    ::SetFileAttributesW(toWide(folder / "g.mid").c_str(), FILE_ATTRIBUTE_HIDDEN);
    rows.push_back({"g.mid", true, false, true});
#endif
    NativeFileOps files;
    auto items = files.listFolder(folder.path().string());
    std::sort(items.begin(), items.end(),
        [](const FolderItem& x, const FolderItem& y) { return x.name < y.name; });
    ASSERT_EQ(items.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(items[i].name, rows[i].name);
        EXPECT_EQ(items[i].isFile, rows[i].isFile) << rows[i].name;
        EXPECT_EQ(items[i].isDirectory, rows[i].isDirectory) << rows[i].name;
        EXPECT_EQ(items[i].isHidden, rows[i].isHidden) << rows[i].name;
    }
    EXPECT_EQ(errorOf([&] { files.listFolder(folder / "missing"); }), ENOENT);
}

TEST(FileOps, ReadsWholeFiles)
{
    test::TempFolder folder;
    folder.write("empty.mid", {});
    folder.write("a.mid", {1, 2, 3});
    NativeFileOps files;
    Bytes image = {9, 9, 9, 9, 9};
    files.readWhole(folder / "a.mid", image);
    EXPECT_EQ(image, (Bytes{1, 2, 3}));
    // Opened in binary: no byte is taken for a line end or the end of the text.
    const Bytes binary = {'a', '\r', '\n', 0x1A, 'b', '\n', 0, 0xFF, '\r', '\n'};
    folder.write("binary.mid", binary);
    files.readWhole(folder / "binary.mid", image);
    EXPECT_EQ(image, binary);
    files.readWhole(folder / "empty.mid", image);
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(errorOf([&] { files.readWhole(folder.path().string(), image); }), EISDIR);
    EXPECT_EQ(errorOf([&] { files.readWhole(folder / "missing.mid", image); }), ENOENT);
#ifndef _WIN32
    // A pipe is refused at once instead of waiting for a writer.
    ::mkfifo((folder / "pipe.mid").c_str(), 0600);
    EXPECT_THROW(files.readWhole(folder / "pipe.mid", image), FileError);
#endif
    // Too large is told from the size, before anything is allocated or read (sparse file).
    std::filesystem::resize_file(folder.path() / "a.mid", 0x80000000u);
    EXPECT_EQ(errorOf([&] { files.readWhole(folder / "a.mid", image); }), EFBIG);
    EXPECT_TRUE(image.empty());
}

} // namespace
} // namespace sorvanel
