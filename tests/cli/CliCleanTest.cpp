// "sorvanel-cli clean" run as a program on a temporary folder.
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace sorvanel {
namespace {

using namespace test;
namespace fs = std::filesystem;

const Bytes dirty = smf({track(hex("00 B0 4A 10 | 00 F0 02 41 F7 | 00 90 3C 40 | 10 80 3C 00"))});
const Bytes withoutController = smf({track(hex("00 F0 02 41 F7 | 00 90 3C 40 | 10 80 3C 00"))});
const Bytes clean = smf({track(hex("00 90 3C 40 | 10 80 3C 00"))});

class CliCleanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sorvanel-clean-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "songs");
        fs::create_directories(m_root / "config");
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string song(const std::string& name, const Bytes& contents)
    {
        fs::path path = m_root / "songs" / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                static_cast<std::streamsize>(contents.size()));
        return path.string();
    }
    Bytes contents(const std::string& name)
    {
        std::ifstream in(m_root / "songs" / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::string folder() const { return (m_root / "songs").string(); }

    struct Outcome
    {
        int status = -1;
        std::string out;
        std::string err;
    };

    /// Runs the tool with its settings kept inside the test's folder.
    Outcome run(const std::string& arguments, const std::string& commandName = "clean")
    {
        fs::path out = m_root / "stdout", err = m_root / "stderr";
        std::string command = "HOME=" + m_root.string()
            + " XDG_CONFIG_HOME=" + (m_root / "config").string()
            + " XDG_DATA_HOME=" + (m_root / "data/share").string() + " " + SORVANEL_CLI + " "
            + commandName + " " + arguments + " >" + out.string() + " 2>" + err.string();
        int result = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        std::ifstream o(out), e(err);
        outcome.out.assign(std::istreambuf_iterator<char>(o), {});
        outcome.err.assign(std::istreambuf_iterator<char>(e), {});
        return outcome;
    }

    fs::path m_root;
};

std::string usageError(const std::string& text)
{
    return "sorvanel-cli: " + text + "\nTry 'sorvanel-cli --help'.\n";
}

constexpr const char* controllersOnly =
    "--option DeleteAllControlEvents=1 --option ExceptControlEvents=0 ";

TEST_F(CliCleanTest, CleansAFolderInListOrderAndLogs)
{
    song("b.mid", dirty);
    song("A.MID", dirty);
    song("c.mid", clean);
    song("notes.txt", dirty);
    Outcome outcome = run(controllersOnly + folder());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
        "File\tSysEx\tContr.\tReset\n\nA.MID\t   0\t   1\t   0\n"
        "b.mid\t   0\t   1\t   0\n");
    EXPECT_EQ(contents("A.MID"), withoutController);
    EXPECT_EQ(contents("A.MID.bak"), dirty);
    EXPECT_EQ(contents("c.mid"), clean);
    EXPECT_FALSE(fs::exists(m_root / "songs" / "c.mid.bak"));
    EXPECT_EQ(contents("notes.txt"), dirty);

    // With --recursive the sub-folders follow, their songs named by their relative paths.
    fs::create_directories(m_root / "songs" / "Album" / ".hidden");
    song("Album/d.mid", dirty);
    song("Album/.hidden/e.mid", dirty);
    outcome = run(controllersOnly + folder());
    EXPECT_EQ(outcome.out, "<no midi file changed>\n");
    outcome = run(std::string(controllersOnly) + "--recursive " + folder());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "File\tSysEx\tContr.\tReset\n\nAlbum/d.mid\t   0\t   1\t   0\n");
    EXPECT_EQ(contents("Album/d.mid.bak"), dirty);
    EXPECT_EQ(contents("Album/.hidden/e.mid"), dirty);

    // With several arguments each file is named by its path: two songs of one name apart.
    song("b.mid", dirty);
    song("Album/b.mid", dirty);
    outcome = run(controllersOnly + folder() + " " + folder() + "/Album");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
        "File\tSysEx\tContr.\tReset\n\n" + folder() + "/b.mid\t   0\t   1\t   0\n" + folder()
            + "/Album/b.mid\t   0\t   1\t   0\n");
}

TEST_F(CliCleanTest, DryRunPrintsTheSameAndTouchesNothing)
{
    std::string a = song("a.mid", dirty);
    Outcome dry = run(std::string("--dry-run ") + controllersOnly + a);
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(contents("a.mid"), dirty);
    EXPECT_FALSE(fs::exists(a + ".bak"));
    Outcome real = run(controllersOnly + a);
    EXPECT_EQ(dry.out, real.out);
    EXPECT_EQ(contents("a.mid"), withoutController);

    // On a terminal (here one that `script` provides) the progress line says it previews.
    std::string b = song("b.mid", dirty);
    fs::path typescript = m_root / "typescript";
    std::string command = "script -qec \"" + std::string(SORVANEL_CLI) + " clean --dry-run "
        + controllersOnly + a + " " + b + "\" /dev/null >" + typescript.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(typescript);
    std::string terminal(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(terminal.find("\rPreviewing 1 of 2"), std::string::npos) << terminal;
}

TEST_F(CliCleanTest, StopsAtABrokenFileWithStatusOne)
{
    std::string a = song("a.mid", dirty);
    std::string bad = song("bad.mid", hex("00 01"));
    std::string c = song("c.mid", dirty);
    Outcome outcome = run(controllersOnly + a + " " + bad + " " + c);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "File\tSysEx\tContr.\tReset\n\n" + a + "\t   0\t   1\t   0\n");
    EXPECT_EQ(outcome.err, "Invalid midi file structure - file: " + bad + " !\n");
    EXPECT_EQ(contents("c.mid"), dirty);

    Outcome missing = run(controllersOnly + (m_root / "none.mid").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "<no midi file changed>\n");
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);
}

TEST_F(CliCleanTest, OnlySongFilesAreCleanedAndEachOnce)
{
    // A second run over "songs/*" names the backups of the first, a note and a pipe: nothing
    // is touched.
    std::string a = song("a.mid", dirty);
    song("a.mid.bak", clean);
    song("notes.txt", dirty);
    song(".hidden.mid", dirty);
    ::mkfifo((m_root / "songs" / "p.mid").c_str(), 0600);
    Outcome refused = run(controllersOnly + folder() + "/* " + folder() + "/.hidden.mid");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    for (const char* name : {"a.mid.bak\"", "notes.txt\"", ".hidden.mid\""})
        EXPECT_NE(refused.err.find(std::string("/") + name + " is not cleaned: only song files"),
            std::string::npos)
            << name;
    EXPECT_NE(
        refused.err.find("/p.mid\" is not cleaned: it is not a regular file"), std::string::npos);
    EXPECT_EQ(contents("a.mid"), dirty);
    EXPECT_EQ(contents("a.mid.bak"), clean);

    // Named three times (also through its folder and a link): cleaned once.
    fs::remove(m_root / "songs" / "a.mid.bak");
    fs::create_symlink("a.mid", m_root / "songs" / "l.mid");
    Outcome once = run(controllersOnly + a + " " + folder() + "/./a.mid " + folder());
    EXPECT_EQ(once.status, 0) << once.err;
    EXPECT_EQ(once.out, "File\tSysEx\tContr.\tReset\n\n" + a + "\t   0\t   1\t   0\n");
    EXPECT_EQ(contents("a.mid.bak"), dirty);
    EXPECT_TRUE(fs::is_symlink(m_root / "songs" / "l.mid"));

    // A song named under another of the names songs go by is cleaned; its folder gives only
    // its *.mid files. A control character in a name is escaped in the log.
    song("k.KAR", dirty);
    song("r.midi", dirty);
    song("n\x1bm.smf", dirty);
    EXPECT_EQ(run(controllersOnly + folder()).out, "<no midi file changed>\n");
    Outcome named = run(std::string(controllersOnly) + "'" + folder() + "/n\x1bm.smf'");
    EXPECT_EQ(named.out, "File\tSysEx\tContr.\tReset\n\nn\\x1bm.smf\t   0\t   1\t   0\n");
    Outcome other = run(controllersOnly + folder() + "/k.KAR " + folder() + "/r.midi");
    EXPECT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(contents("k.KAR.bak"), dirty);
    EXPECT_EQ(contents("r.midi"), withoutController);
}

TEST_F(CliCleanTest, BrokenFilesOfAFolderAreLeftOutWithStatusOne)
{
    song("a.mid", dirty);
    std::string bad = song("bad.mid", hex("00 01"));
    song("c.mid", dirty);
    Outcome outcome = run(controllersOnly + folder());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "Invalid midi file structure - file: " + bad + " !\n");
    EXPECT_EQ(outcome.out,
        "File\tSysEx\tContr.\tReset\n\na.mid\t   0\t   1\t   0\nc.mid\t   0\t   1\t   0\n");
    EXPECT_EQ(contents("c.mid"), withoutController);

    // So are those of a sub-folder, after the folder's own.
    fs::create_directories(m_root / "songs" / "Album");
    std::string deep = song("Album/bad.mid", hex("00 01"));
    song("Album/d.mid", dirty);
    outcome = run(std::string(controllersOnly) + "--recursive " + folder());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
        "Invalid midi file structure - file: " + bad
            + " !\nInvalid midi file structure - file: " + deep + " !\n");
    EXPECT_EQ(outcome.out, "File\tSysEx\tContr.\tReset\n\nAlbum/d.mid\t   0\t   1\t   0\n");
}

TEST_F(CliCleanTest, WrongUsageAndRefusedOptionsGiveStatusTwo)
{
    std::string a = song("a.mid", dirty);
    struct Row
    {
        std::string arguments;
        std::string err;
    };
    const Row rows[] = {
        {a, "Nothing selected to delete!\n"},
        {"--option DeleteSysExEvents=1 --option ManufacturerId3=1FF " + a,
            "Invalid hex value!\n\nPlease enter value between 0 and FF.\n"},
        {"--option DeleteSysExEvents=1 --option DeleteAllControlEvents=1 "
         "--option ManufacturerId1=G --option Control8=100 "
                + a,
            "Invalid hex value!\n\nPlease enter value between 0 and FF.\n"
            "Invalid hex value!\n\nPlease enter value between 0 and FF.\n"},
        {"--option Volume=2 " + a, usageError("Volume takes 0 or 1, not '2'")},
        {"--option Loudness=1 " + a,
            usageError("unknown option name 'Loudness' ('sorvanel-cli options' lists them)")},
        {"--option DeleteSysExEvents " + a,
            usageError("--option needs NAME=VALUE, not 'DeleteSysExEvents'")},
        {"--frobnicate " + a, usageError("unknown option '--frobnicate'")},
        {"--option DeleteSysExEvents=1", usageError("no file or folder given")},
        {a + " --option", usageError("option '--option' needs NAME=VALUE")},
    };
    for (const Row& row : rows) {
        Outcome outcome = run(row.arguments);
        EXPECT_EQ(outcome.status, 2) << row.arguments;
        EXPECT_EQ(outcome.err, row.err) << row.arguments;
        EXPECT_EQ(outcome.out, "") << row.arguments;
    }
    EXPECT_EQ(contents("a.mid"), dirty);
    // A slot of a group that is off is not checked, as in the options dialog.
    EXPECT_EQ(run("--option=InsertMidiReset=1 --option ManufacturerId1=ZZ " + a).status, 0);
}

TEST_F(CliCleanTest, RestoreGivesBackTheFormerBytes)
{
    std::string a = song("a.mid", dirty);
    song("b.mid", clean);
    ASSERT_EQ(run(controllersOnly + folder()).status, 0);
    ASSERT_NE(contents("a.mid"), dirty);

    // Restoring reads no song: a broken one beside them is no failure.
    song("broken.mid", hex("00 01"));
    Outcome restored = run(folder(), "restore");
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(restored.err, "");
    EXPECT_EQ(restored.out, "Restored from backup:\n\na.mid\n");
    EXPECT_EQ(contents("a.mid"), dirty);
    EXPECT_FALSE(fs::exists(a + ".bak"));

    Outcome again = run(a, "restore");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "<no original restored>\n");

    Outcome wrong = run("--dry-run " + a, "restore");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, usageError("unknown option '--dry-run'"));

    // A song saved after its clean is kept and fails the restore, unless its bytes may go to
    // the trash (the home's, made where it is missing); a gone song of a folder gets its name
    // back from its backup.
    ASSERT_EQ(run(controllersOnly + folder()).status, 1); // broken.mid is left out
    song("a.mid", clean);
    fs::last_write_time(a, fs::file_time_type::clock::now() + std::chrono::hours(1));
    fs::remove(m_root / "songs" / "c.mid");
    song("c.mid", dirty);
    ASSERT_EQ(run(controllersOnly + folder() + "/c.mid").status, 0);
    fs::remove(m_root / "songs" / "c.mid");
    Outcome kept = run(folder(), "restore");
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.err, "\"" + a + "\" was changed after it was cleaned and was not restored.\n");
    EXPECT_EQ(kept.out, "Restored from backup:\n\nc.mid\n");
    EXPECT_EQ(contents("c.mid"), dirty);
    Outcome trashed = run("--trash-changed " + folder(), "restore");
    EXPECT_EQ(trashed.status, 0) << trashed.err;
    EXPECT_EQ(contents("a.mid"), dirty);
    std::ifstream inTrash(m_root / "data/share/Trash/files/a.mid", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(inTrash), {}), clean);
}

TEST_F(CliCleanTest, StoredOptionsComeFromTheProgramsSettings)
{
#ifndef SORVANEL_CLI_HAS_STORED_OPTIONS
    GTEST_SKIP() << "built without the Qt settings store";
#endif
    fs::create_directories(m_root / "config" / "Tarnwick");
    std::ofstream(m_root / "config" / "Tarnwick" / "Sorvanel.conf")
        << "[Settings]\nDeleteSysExEvents=1\nExceptManufacturerIds=1\nManufacturerId4=41\n";
    std::string a = song("a.mid", dirty);
    std::string spared = song("spared.mid", dirty);
    // The stored options spare manufacturer 41 ...
    Outcome stored = run("--stored-options " + a);
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out, "<no midi file changed>\n");
    // ... and an option given on the command line overrides what is stored.
    Outcome overridden = run("--stored-options --option ManufacturerId4= " + spared);
    EXPECT_EQ(overridden.status, 0) << overridden.err;
    EXPECT_EQ(overridden.out, "File\tSysEx\tContr.\tReset\n\nspared.mid\t   1\t   0\t   0\n");
    // The tool reads the store and never writes it.
    std::ifstream in(m_root / "config" / "Tarnwick" / "Sorvanel.conf");
    std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(
        text, "[Settings]\nDeleteSysExEvents=1\nExceptManufacturerIds=1\nManufacturerId4=41\n");
}

} // namespace
} // namespace sorvanel
