// The run against the real file system: permissions, real renames and real failures. The
// contract is the same on every system; what only POSIX (modes, pipes, links) or only Windows
// (attributes) can show is marked so.
#include "FaultyFileOps.h"
#include "cleaning/CleanRun.h"
#include "platform/Notifier.h"
#include "support/MidiBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <array>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
unsigned modeOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

constexpr const char* aclName = "system.posix_acl_access";

/// An access list in the system's stored form: a version, then tag, permissions and id per
/// entry. Here the owner rw-, user 4321 r--, group r--, mask r--, others r--: mode 0644.
std::vector<char> storedAcl(std::initializer_list<std::array<unsigned, 3>> entries)
{
    std::vector<char> bytes;
    auto put = [&](unsigned value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(2, 4);
    for (const auto& [tag, permissions, id] : entries) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return bytes;
}
const std::vector<char> userAcl =
    storedAcl({{0x01, 6, ~0u}, {0x02, 4, 4321}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 4, ~0u}});
/// A folder default that gives new files a list of their own, and others nothing.
const std::vector<char> narrowDefaultAcl =
    storedAcl({{0x01, 6, ~0u}, {0x02, 6, 4321}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}});

/// The system's texts the messages carry.
constexpr const char* fileExistsText = "File exists";
constexpr const char* noSuchFileText = "No such file or directory";
#else
void setReadOnly(const std::string& path, bool readOnly)
{
    ::SetFileAttributesW(
        toWide(path).c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

constexpr const char* fileExistsText = "exists";
constexpr const char* noSuchFileText = "not found";
#endif

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
#ifndef _WIN32
    ::chmod((folder / "a.mid").c_str(), 0604);
#endif
    NativeFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
    EXPECT_FALSE(result.stoppedEarly);
    EXPECT_EQ(folder.read("a.mid"), cleaned);
    EXPECT_EQ(folder.read("a.mid.bak"), dirty);
#ifndef _WIN32
    EXPECT_EQ(modeOf(folder / "a.mid"), 0604u);
    EXPECT_EQ(modeOf(folder / "a.mid.bak"), 0604u);
#else
    EXPECT_EQ(::GetFileAttributesW(toWide(folder / "a.mid").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#endif
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.mid", "a.mid.bak"}));
    EXPECT_TRUE(notifier.texts.empty());
}

#ifndef _WIN32
TEST(CleanRunPosix, AnExistingBackupIsKeptEvenWhenItCannotBeRead)
{
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    folder.write("a.mid.bak", hex("01 02"));
    ::chmod((folder / "a.mid.bak").c_str(), 0);
    NativeFileOps files;
    RecordingNotifier notifier;
    cleanOne(folder, "a.mid", files, notifier);
    EXPECT_EQ(folder.read("a.mid"), cleaned);
    EXPECT_EQ(modeOf(folder / "a.mid.bak"), 0u);
    ::chmod((folder / "a.mid.bak").c_str(), 0600);
    EXPECT_EQ(folder.read("a.mid.bak"), hex("01 02"));
}
#endif

TEST(CleanRunPosix, BackupAppearingBetweenTestAndRenameIsNotReplaced)
{
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    folder.write("a.mid.bak", hex("01"));
    NativeFileOps real;
    test::FaultyFileOps files(real);
    files.hideFromKindOf = [](const std::string& path) { return path.ends_with(".bak"); };
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_EQ(folder.read("a.mid.bak"), hex("01"));
    EXPECT_EQ(folder.read("a.mid"), dirty);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.mid", "a.mid.bak"}));
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find(fileExistsText), std::string::npos) << notifier.texts[0];
}

/// Runs over one dirty file after `breakIt` and expects the run to stop with `expected` in
/// its message, leaving the folder exactly as it was.
void expectFailureLeavesFileAsItWas(const std::string& fileName,
    const std::function<void(const test::TempFolder&)>& breakIt, const char* expected)
{
    test::TempFolder folder;
    folder.write(fileName, dirty);
    breakIt(folder);
    NativeFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result = cleanOne(folder, fileName, files, notifier);
#ifndef _WIN32
    ::chmod(folder.path().c_str(), 0700);
#else
    setReadOnly(folder / fileName, false);
#endif
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_EQ(folder.read(fileName), dirty);
    EXPECT_EQ(folder.names(), std::vector<std::string>{fileName});
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find(expected), std::string::npos) << notifier.texts[0];
}

#ifndef _WIN32
TEST(CleanRunPosix, NameAtTheLengthLimitLeavesTheFileAsItWas)
{
    // A real failure for every user: the backup's name does not fit.
    expectFailureLeavesFileAsItWas(
        std::string(250, 'n') + ".mid", [](const test::TempFolder&) {}, "File name too long");
}

TEST(CleanRunPosix, ReadOnlyFolderLeavesTheFileAsItWas)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores permissions";
    expectFailureLeavesFileAsItWas(
        "a.mid", [](const test::TempFolder& f) { ::chmod(f.path().c_str(), 0555); },
        "Permission denied");
}
#else
TEST(CleanRunPosix, ReadOnlyAttributeLeavesTheFileAsItWas)
{
    // Refused like a write-protected file, with a backup in place or without one.
    expectFailureLeavesFileAsItWas(
        "a.mid", [](const test::TempFolder& f) { setReadOnly(f / "a.mid", true); },
        "Access denied");
}
#endif

TEST(CleanRunPosix, OnlyARegularFileUnderTheBackupsNameIsABackup)
{
    using Make = std::function<void(const test::TempFolder&)>;
    const auto at = [](const test::TempFolder& f) { return f.path() / "a.mid.bak"; };
    struct Row
    {
        const char* what;
        Make make;
        const char* refusal; ///< nullptr: it is a backup, kept as it is
    };
    std::vector<Row> rows = {
        {"regular file", [](const test::TempFolder& f) { f.write("a.mid.bak", hex("01")); },
            nullptr},
        {"folder", [&](const test::TempFolder& f) { fs::create_directory(at(f)); },
            "a folder has that name"},
        // What a run of an earlier version left when it died: no copy of anything.
        {"empty file", [](const test::TempFolder& f) { f.write("a.mid.bak", {}); },
            "an empty file has that name"},
    };
#ifndef _WIN32
    rows.insert(rows.end(),
        {
            {"unreadable regular file",
                [&](const test::TempFolder& f) {
                    f.write("a.mid.bak", hex("01"));
                    fs::permissions(at(f), fs::perms::none);
                },
                nullptr},
            {"link to a regular file",
                [&](const test::TempFolder& f) {
                    f.write("other", hex("01"));
                    fs::create_symlink("other", at(f));
                },
                nullptr},
            {"link to a folder",
                [&](const test::TempFolder& f) { fs::create_directory_symlink(f.path(), at(f)); },
                "a folder has that name"},
            {"dangling link",
                [&](const test::TempFolder& f) { fs::create_symlink("nowhere", at(f)); },
                "a link that leads to no file"},
            {"looping link",
                [&](const test::TempFolder& f) { fs::create_symlink("a.mid.bak", at(f)); },
                "a link that leads to no file"},
            {"pipe", [&](const test::TempFolder& f) { ::mkfifo(at(f).c_str(), 0600); },
                "something that is not a file (a pipe, socket or device)"},
            {"socket",
                [&](const test::TempFolder& f) {
                    sockaddr_un address{};
                    address.sun_family = AF_UNIX;
                    std::string path = at(f).string();
                    ASSERT_LT(path.size(), sizeof address.sun_path);
                    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
                    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
                    ::close(fd);
                },
                "something that is not a file (a pipe, socket or device)"},
        });
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempFolder folder;
        folder.write("a.mid", dirty);
        row.make(folder);
        auto before = fs::symlink_status(at(folder)).type();
        NativeFileOps files;
        // A dry run refuses what a real one refuses, with the same message.
        RecordingNotifier dryNotifier;
        std::vector<MidiFileEntry> entries = {{folder / "a.mid", "a.mid", {}}};
        cleanFiles(entries, {0}, deleteControllers(), files, dryNotifier, Language::English, true);
        RecordingNotifier notifier;
        CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
        EXPECT_EQ(dryNotifier.texts, notifier.texts);
        EXPECT_EQ(fs::symlink_status(at(folder)).type(), before);
        if (row.refusal == nullptr) {
            EXPECT_FALSE(result.stoppedEarly);
            EXPECT_EQ(folder.read("a.mid"), cleaned);
#ifndef _WIN32
            fs::permissions(at(folder), fs::perms::owner_read, fs::perm_options::add);
#endif
            EXPECT_EQ(folder.read("a.mid.bak"), hex("01"));
            continue;
        }
        EXPECT_TRUE(result.stoppedEarly);
        EXPECT_EQ(folder.read("a.mid"), dirty);
        ASSERT_EQ(notifier.texts.size(), 1u);
        EXPECT_TRUE(notifier.texts[0].starts_with(
            "Cannot make the backup \"" + (folder / "a.mid.bak") + "\": " + row.refusal))
            << notifier.texts[0];
        EXPECT_EQ(folder.names().size(), 2u) << "nothing new is left";
    }
}

// What only a real file system shows: owners, pipes, long names, links.
TEST(CleanRunPosix, RealFileSystemCases)
{
    const std::string longName = std::string(251 - 4, 'n') + ".mid";
    struct Row
    {
        const char* what;
        std::vector<std::string> names; ///< the files cleaned
        std::function<void(const test::TempFolder&)> prepare;
        std::function<void(const test::TempFolder&, const RecordingNotifier&)> check;
    };
    std::vector<Row> rows = {
        {"251-byte name", {longName}, [&](const test::TempFolder& f) { f.write(longName, dirty); },
            [&](const test::TempFolder& f, const RecordingNotifier&) {
                EXPECT_EQ(f.read(longName), cleaned);
                EXPECT_EQ(f.read(longName + ".bak"), dirty);
            }},
        {"hard link", {"a.mid"},
            [](const test::TempFolder& f) {
                fs::create_hard_link(f.path() / "a.mid", f.path() / "h.mid");
            },
            [](const test::TempFolder& f, const RecordingNotifier&) {
                EXPECT_EQ(f.read("a.mid"), cleaned);
                EXPECT_EQ(f.read("h.mid"), dirty) << "other names keep the former contents";
            }},
        {"hard links both named", {"a.mid", "h.mid", "./a.mid"},
            [](const test::TempFolder& f) {
                fs::create_hard_link(f.path() / "a.mid", f.path() / "h.mid");
            },
            [](const test::TempFolder& f, const RecordingNotifier& notifier) {
                EXPECT_TRUE(notifier.texts.empty());
                for (const char* name : {"a.mid", "h.mid"}) {
                    EXPECT_EQ(f.read(name), cleaned) << name;
                    EXPECT_EQ(f.read(std::string(name) + ".bak"), dirty) << name;
                }
            }},
        // Only what a run demonstrably left goes: a copy of bytes under a song's or backup's
        // name. A name alike, bytes nowhere else, a file of this user's own choosing stay.
        {"leftovers", {"a.mid"},
            [](const test::TempFolder& f) {
                f.write(".sorvanel~Copy0000.tmp", dirty);
                f.write(".sorvanel~Unique00.tmp", hex("01 02"));
                f.write(".sorvanel-backup", dirty);
                f.write(".sorvanel-abc123", dirty);
            },
            [](const test::TempFolder& f, const RecordingNotifier&) {
                EXPECT_EQ(f.names(),
                    (std::vector<std::string>{".sorvanel-abc123", ".sorvanel-backup",
                        ".sorvanel~Unique00.tmp", "a.mid", "a.mid.bak"}));
            }},
    };
#ifndef _WIN32
    rows.insert(rows.end(),
        {
            {"owner", {"a.mid"},
                [](const test::TempFolder& f) {
                    if (::geteuid() == 0) {
                        ASSERT_EQ(::chown((f / "a.mid").c_str(), 1000, 1000), 0);
                    }
                },
                [](const test::TempFolder& f, const RecordingNotifier&) {
                    if (::geteuid() != 0)
                        return; // only root may give files away
                    struct stat info
                    {
                    };
                    for (const char* name : {"a.mid", "a.mid.bak"}) {
                        ASSERT_EQ(::stat((f / name).c_str(), &info), 0);
                        EXPECT_EQ(info.st_uid, 1000u) << name;
                        EXPECT_EQ(info.st_gid, 1000u) << name;
                    }
                }},
            {"pipe", {"p.mid"},
                [](const test::TempFolder& f) { ::mkfifo((f / "p.mid").c_str(), 0600); },
                [](const test::TempFolder& f, const RecordingNotifier& notifier) {
                    EXPECT_EQ(notifier.texts,
                        std::vector<std::string>{
                            "Cannot read \"" + (f / "p.mid") + "\": it is not a regular file"});
                }},
            {"link", {"l.mid"},
                [](const test::TempFolder& f) {
                    fs::create_directory(f.path() / "sub");
                    f.write("sub/s.mid", dirty);
                    fs::create_symlink("sub/s.mid", f.path() / "l.mid");
                },
                [](const test::TempFolder& f, const RecordingNotifier&) {
                    EXPECT_TRUE(fs::is_symlink(f.path() / "l.mid"));
                    EXPECT_EQ(f.read("sub/s.mid"), cleaned);
                    EXPECT_EQ(f.read("sub/s.mid.bak"), dirty);
                    EXPECT_FALSE(fs::exists(f.path() / "l.mid.bak"));
                }},
            {"link to a backup", {"l.mid"},
                [](const test::TempFolder& f) {
                    f.write("a.mid.bak", dirty);
                    fs::create_symlink("a.mid.bak", f.path() / "l.mid");
                },
                [](const test::TempFolder& f, const RecordingNotifier& notifier) {
                    EXPECT_EQ(f.read("a.mid.bak"), dirty);
                    EXPECT_EQ(f.names().size(), 3u);
                    ASSERT_EQ(notifier.texts.size(), 1u);
                    EXPECT_NE(
                        notifier.texts[0].find("which is not a song file"), std::string::npos);
                }},
            {"access list", {"a.mid", "b.mid"},
                [](const test::TempFolder& f) {
                    ::chmod((f / "a.mid").c_str(), 0644);
                    ASSERT_EQ(::setxattr((f / "a.mid").c_str(), aclName, userAcl.data(),
                                  userAcl.size(), 0),
                        0);
                    // What the folder gives new files neither adds to nor takes from a song.
                    ASSERT_EQ(::setxattr(f.path().c_str(), "system.posix_acl_default",
                                  narrowDefaultAcl.data(), narrowDefaultAcl.size(), 0),
                        0);
                    f.write("b.mid", dirty);
                    ::chmod((f / "b.mid").c_str(), 0644);
                    ::removexattr((f / "b.mid").c_str(), aclName);
                    ::chmod((f / "b.mid").c_str(), 0644);
                },
                [](const test::TempFolder& f, const RecordingNotifier& notifier) {
                    EXPECT_TRUE(notifier.texts.empty());
                    EXPECT_EQ(f.read("a.mid"), cleaned);
                    EXPECT_EQ(modeOf(f / "a.mid"), modeOf(f / "a.mid.bak"));
                    std::vector<char> acl(256);
                    ssize_t size = ::getxattr((f / "a.mid").c_str(), aclName, acl.data(), 256);
                    ASSERT_GT(size, 0);
                    acl.resize(static_cast<std::size_t>(size));
                    EXPECT_EQ(acl, userAcl);
                    EXPECT_EQ(f.read("b.mid"), cleaned);
                    EXPECT_EQ(modeOf(f / "b.mid"), 0644u);
                    EXPECT_LT(::getxattr((f / "b.mid").c_str(), aclName, nullptr, 0), 0);
                }},
        });
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempFolder folder;
        folder.write("a.mid", dirty);
        row.prepare(folder);
        NativeFileOps files;
        RecordingNotifier notifier;
        std::vector<MidiFileEntry> entries;
        std::vector<std::size_t> all;
        for (const std::string& name : row.names) {
            all.push_back(entries.size());
            entries.push_back({folder / name, name, {}});
        }
        // A dry run first: it tells the same, and changes nothing the real run sees.
        RecordingNotifier dryNotifier;
        CleanRunResult dry = cleanFiles(
            entries, all, deleteControllers(), files, dryNotifier, Language::English, true);
        CleanRunResult real =
            cleanFiles(entries, all, deleteControllers(), files, notifier, Language::English);
        EXPECT_EQ(dry.logLines, real.logLines);
        EXPECT_EQ(dryNotifier.texts, notifier.texts);
        row.check(folder, notifier);
        for (const std::string& name : folder.names())
            EXPECT_FALSE(isTemporaryName(name) && name != ".sorvanel~Unique00.tmp")
                << name << " was left behind";
    }
}

#ifndef _WIN32
// A user who may write the folder and the song but not give files away does not take
// another user's song over: it is refused, and stays as it was.
TEST(CleanRunPosix, AnotherUsersSongIsNotTakenOver)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a song of another user";
    test::TempFolder folder;
    folder.write("a.mid", dirty);
    ::chmod(folder.path().c_str(), 0777);
    ::chmod((folder / "a.mid").c_str(), 0666);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        NativeFileOps files;
        RecordingNotifier notifier;
        CleanRunResult result = cleanOne(folder, "a.mid", files, notifier);
        const bool refused = result.stoppedEarly && notifier.texts.size() == 1
            && notifier.texts[0].starts_with("Cannot keep the owner of");
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(folder.read("a.mid"), dirty);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mid"});
}
#endif

TEST(CleanRunPosix, VanishedFolderStopsTheRun)
{
    std::string path;
    {
        test::TempFolder folder;
        path = folder / "a.mid";
    }
    std::vector<MidiFileEntry> entries = {{path, "a.mid", {}}};
    NativeFileOps files;
    RecordingNotifier notifier;
    CleanRunResult result =
        cleanFiles(entries, {0}, deleteControllers(), files, notifier, Language::English);
    EXPECT_TRUE(result.stoppedEarly);
    EXPECT_TRUE(result.finishedRows.empty());
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_NE(notifier.texts[0].find(noSuchFileText), std::string::npos) << notifier.texts[0];
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
}

} // namespace
} // namespace sorvanel
