#include "platform/FileOps.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
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

TEST(PosixFileOps, ExistsSeesEverythingThatHoldsTheName)
{
    test::TempFolder folder;
    folder.write("file", {});
    fs::create_directory(folder.path() / "dir");
    fs::create_symlink(folder.path() / "nowhere", folder.path() / "dangling");
    PosixFileOps files;
    struct Row
    {
        const char* name;
        bool exists;
    };
    const Row rows[] = {{"file", true}, {"dir", true}, {"dangling", true}, {"missing", false},
        {"file/inside", false}, {"dir/missing", false}};
    for (const Row& row : rows)
        EXPECT_EQ(files.exists(folder / row.name), row.exists) << row.name;
}

TEST(PosixFileOps, ListsNamesWithTheirKind)
{
    test::TempFolder folder;
    folder.write("a.mid", {});
    folder.write(".b.mid", {});
    fs::create_directory(folder.path() / "c.mid");
    fs::create_directory_symlink(folder.path() / "c.mid", folder.path() / "d.mid");
    PosixFileOps files;
    auto items = files.listFolder(folder.path().string());
    std::sort(items.begin(), items.end(),
        [](const FolderItem& x, const FolderItem& y) { return x.name < y.name; });
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, ".b.mid");
    EXPECT_TRUE(items[0].isHidden);
    EXPECT_EQ(items[1].name, "a.mid");
    EXPECT_FALSE(items[1].isHidden || items[1].isDirectory);
    EXPECT_TRUE(items[2].isDirectory);
    EXPECT_TRUE(items[3].isDirectory) << "a link to a folder counts as a folder";
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
}

} // namespace
} // namespace sorvanel
