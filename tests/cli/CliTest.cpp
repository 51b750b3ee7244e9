#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

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

    Outcome run(const std::string& arguments)
    {
        fs::path out = m_folder / "stdout", err = m_folder / "stderr";
        std::string command = std::string(SORVANEL_CLI) + " " + arguments + " >" + out.string()
            + " 2>" + err.string();
        int result = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        outcome.out = readText(out);
        outcome.err = readText(err);
        return outcome;
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
    for (const char* arguments : {"--help", "-h", "clean --help", "check -h"}) {
        SCOPED_TRACE(arguments);
        Outcome help = run(arguments);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_NE(help.out.find("usage:"), std::string::npos);
        EXPECT_NE(help.out.find("Exit status: 0"), std::string::npos);
    }
}

TEST_F(CliTest, WrongUsageExitsWithStatus2)
{
    for (const char* arguments : {"", "check", "title", "dump", "dump a b", "clean-everything x"}) {
        SCOPED_TRACE(arguments);
        Outcome wrong = run(arguments);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_EQ(wrong.out, "");
        EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
    }
}

} // namespace
} // namespace sorvanel
