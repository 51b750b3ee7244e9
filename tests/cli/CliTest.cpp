#include "cleaning/CleanOptions.h"
#include "cli/TerminalProgress.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvanel {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sorvanel-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string file(const std::string& name, const Bytes& contents)
    {
        fs::path path = m_folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                static_cast<std::streamsize>(contents.size()));
        return path.string();
    }

    /// Runs the tool with its standard output going to `outTarget` when one is given.
    Outcome run(const std::string& arguments, const std::string& outTarget = {})
    {
        fs::path out = m_folder / "stdout", err = m_folder / "stderr";
        std::string command = std::string(SORVANEL_CLI) + " " + arguments + " >"
            + (outTarget.empty() ? out.string() : outTarget) + " 2>" + err.string();
        int result = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        outcome.out = readText(out);
        outcome.err = readText(err);
        return outcome;
    }

    /// What a shell command prints.
    std::string printed(const std::string& command)
    {
        fs::path out = m_folder / "printed";
        EXPECT_EQ(std::system((command + " >" + out.string()).c_str()), 0) << command;
        return readText(out);
    }

    fs::path m_folder;
};

TEST_F(CliTest, CheckReportsEachFileAndFailsWhenAnyIsInvalid)
{
    std::string good = file("good.mid", smf({track(hex("00 C0 01"))}));
    std::string bad = file("bad.mid", smf({track(hex("00 C0 01"))}) + hex("00"));
    Outcome all = run("check " + good + " " + bad);
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out,
        good + "\tvalid\n" + bad + "\tInvalid midi file structure - file: " + bad + " !\n");

    EXPECT_EQ(run("check " + good).status, 0);
    // An empty file is listed and cleaned as an entry with nothing in it.
    std::string empty = file("empty.mid", {});
    EXPECT_EQ(run("check " + empty).out, empty + "\tvalid\n");
    EXPECT_EQ(run("check " + empty).status, 0);
    Outcome missing = run("check " + good + "-not-there");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("No such file or directory"), std::string::npos);
}

TEST_F(CliTest, TitlePrintsTitlesAndReportsUnlistableFilesOnStandardError)
{
    std::string named = file("named.mid", smf({track(hex("00 FF 03 04 4E 61 6D 65"))}));
    std::string plain = file("plain.mid", smf({track(hex("00 C0 01"))}));
    Outcome ok = run("title " + named + " " + plain);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, named + "\tName\n" + plain + "\t<no title found>\n");

    std::string cut = file("cut.mid", smf({track(hex("00 C0 01"), false)}));
    Outcome failed = run("title " + cut + " " + named);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, named + "\tName\n");
    EXPECT_EQ(failed.err, "Invalid midi track structure - file: " + cut + " !\n");

    // A folder stands for its songs, whatever its name; a name that leads nowhere says so.
    fs::create_directory(m_folder / "album.mid");
    std::string inAlbum = file("album.mid/inner.mid", smf({track(hex("00 FF 03 01 41"))}));
    Outcome album = run("title " + (m_folder / "album.mid").string() + " " + named + "-gone");
    EXPECT_EQ(album.status, 1);
    EXPECT_EQ(album.out, inAlbum + "\tA\n");
    EXPECT_NE(album.err.find("No such file or directory"), std::string::npos);

    // A broken song of a folder fails the command too; a name's control characters are
    // escaped, so each song keeps one line.
    file("album.mid/bad.mid", hex("00 01"));
    std::string twoLines = file("album.mid/a\nb.mid", smf({track(hex("00 FF 03 02 0D 0A"))}));
    Outcome broken = run("title " + (m_folder / "album.mid").string() + " --recursive");
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(
        broken.out, (m_folder / "album.mid/a\\nb.mid\t\\r\\n\n").string() + inAlbum + "\tA\n");
    EXPECT_NE(broken.err.find("bad.mid !"), std::string::npos);
}

TEST_F(CliTest, DumpListsEveryEvent)
{
    std::string song = file("song.mid", smf({track(hex("00 90 3C 40 | 60 3C 00"))}));
    Outcome dumped = run("dump " + song);
    EXPECT_EQ(dumped.status, 0);
    EXPECT_NE(dumped.out.find("0 96 +96 90 -- len 2: 3c 00\n"), std::string::npos);
    EXPECT_NE(dumped.out.find("0 96 +0 ff 2f len 0\n"), std::string::npos);
}

TEST_F(CliTest, HelpGoesToStandardOutputWithStatus0)
{
    for (const char* arguments : {"--help", "-h", "clean --help", "check -h", "title x --help"}) {
        SCOPED_TRACE(arguments);
        Outcome help = run(arguments);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_NE(help.out.find("Usage:"), std::string::npos);
        EXPECT_NE(help.out.find("Exit status: 0"), std::string::npos);
    }
    Outcome version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("sorvanel-cli (Sorvanel) ")) << version.out;
}

TEST_F(CliTest, WrongUsageIsNamedInAShortMessageWithStatus2)
{
    struct Row
    {
        const char* arguments;
        const char* message;
    };
    const Row rows[] = {
        {"", "no command given"},
        {"frobnicate x", "unknown command 'frobnicate'"},
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"check", "no file or folder given"},
        {"check --recursive x", "unknown option '--recursive'"},
        {"title --dry-run x", "unknown option '--dry-run'"},
        {"title", "no file or folder given"},
        {"dump", "no file or folder given"},
        {"dump a b", "dump takes one FILE"},
        {"options x", "options takes no arguments"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        Outcome wrong = run(row.arguments);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err,
            "sorvanel-cli: " + std::string(row.message) + "\nTry 'sorvanel-cli --help'.\n");
    }
    // After "--" a name that looks like an option is a name.
    std::string dashed = file("-x.mid", smf({track(hex("00 C0 01"))}));
    EXPECT_EQ(run("check -- " + dashed).status, 0);
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailure)
{
    std::string good = file("good.mid", smf({track(hex("00 C0 01"))}));
    Outcome full = run("check " + good, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "sorvanel-cli: the output could not be written: No space left on device\n");

    // A reader that went away: the tool says so and fails rather than dying of the signal.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(
        &actions, STDERR_FILENO, (m_folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string cli = SORVANEL_CLI, command = "check";
    char* argv[] = {cli.data(), command.data(), good.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, cli.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(readText(m_folder / "stderr"),
        "sorvanel-cli: the output could not be written: Broken pipe\n");
}

TEST_F(CliTest, OptionsListsEveryStoredOptionWithItsDefault)
{
    Outcome listed = run("options");
    EXPECT_EQ(listed.status, 0);
    CleanOptions defaults;
    for (const StoredOption& option : storedOptions(defaults)) {
        auto at = listed.out.find("\n" + option.name + " ");
        ASSERT_NE(at, std::string::npos) << option.name;
        std::istringstream line(listed.out.substr(at + 1, listed.out.find('\n', at + 1) - at - 1));
        std::string name, shown, meaning;
        line >> name >> shown >> meaning;
        EXPECT_EQ(shown, option.flag ? std::to_string(option.defaultValue) : "empty") << name;
        EXPECT_NE(meaning, "") << name;
    }
}

TEST_F(CliTest, BashCompletesCommandsOptionsAndOptionNames)
{
    // The completion function is called as bash calls it, word by word.
    struct Row
    {
        const char* words;
        const char* completions;
    };
    const Row rows[] = {
        {"sorvanel-cli ''", "check title dump clean restore options --help --version"},
        {"sorvanel-cli re", "restore"},
        {"sorvanel-cli title x --", "--help --recursive --"},
        {"sorvanel-cli restore --t", "--trash-changed"},
        {"sorvanel-cli clean --d", "--dry-run"},
        {"sorvanel-cli clean --option Ex",
            "ExceptManufacturerIds= ExceptControlEvents= Expression="},
        {"sorvanel-cli clean -- --d", ""},
        {"sorvanel-cli options ''", ""},
    };
    // bash -c 'source SCRIPT; COMP_WORDS=("$@"); …' bash WORDS…
    std::string complete =
        "bash -c 'source " SORVANEL_SOURCE "/packaging/bash-completion/sorvanel-cli;"
        " COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _sorvanel_cli;"
        " IFS=\" \"; echo \"${COMPREPLY[*]}\"' bash ";
    for (const Row& row : rows)
        EXPECT_EQ(printed(complete + row.words), std::string(row.completions) + "\n") << row.words;

    // Every stored option name, and no other, is completed after --option.
    std::istringstream completed(printed(complete + "sorvanel-cli clean --option ''"));
    std::set<std::string> names(std::istream_iterator<std::string>(completed), {}), expected;
    CleanOptions defaults;
    for (const StoredOption& option : storedOptions(defaults))
        expected.insert(option.name + "=");
    EXPECT_EQ(names, expected);
}

TEST(TerminalProgressTest, RedrawsAtMostTenTimesASecondAndClearsAtTheEnd)
{
    using namespace std::chrono_literals;
    RecordingNotifier messages;
    std::ostringstream terminal;
    std::chrono::steady_clock::time_point now{};
    TerminalProgress progress(messages, Texts::ProgressPreviewing, terminal, [&] { return now; });
    const std::chrono::milliseconds times[] = {0ms, 50ms, 99ms, 100ms, 150ms};
    for (std::size_t index = 0; index < std::size(times); ++index) {
        now = std::chrono::steady_clock::time_point(times[index]);
        progress(index, 6, "");
    }
    EXPECT_EQ(terminal.str(), "\rPreviewing 1 of 6\x1b[K\rPreviewing 4 of 6\x1b[K");
    progress.notify("broken");
    progress(5, 6, "");
    EXPECT_EQ(terminal.str(), "\rPreviewing 1 of 6\x1b[K\rPreviewing 4 of 6\x1b[K\r\x1b[K");
    EXPECT_EQ(messages.texts, std::vector<std::string>{"broken"});
}

} // namespace
} // namespace sorvanel
