#include "song/SongTitle.h"

#include "platform/Notifier.h"
#include "support/MemoryFileOps.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace sorvanel {
namespace {

using namespace test;

Bytes name(std::string_view title)
{
    return hex("00 FF 03") + varLen(static_cast<std::uint32_t>(title.size())) + text(title);
}

struct TitleCase
{
    const char* name;
    Bytes file;
    std::string title;
};

TEST(SongTitleTest, TakesTheFirstNonEmptyTrackName)
{
    const TitleCase cases[] = {
        {"first track named", smf({track(name("Song") + hex("00 90 3C 40"))}), "Song"},
        {"second track named when the first is not",
            smf({track(hex("00 FF 51 03 07 A1 20")), track(name("Second"))}), "Second"},
        {"an empty name is passed over", smf({track(name("") + hex("00 C0 01") + name("Later"))}),
            "Later"},
        {"the first of two names wins", smf({track(name("One") + name("Two")), track(name("3"))}),
            "One"},
        {"blanks and any bytes are kept", smf({track(name("  A\xE4\x01 "))}), "  A\xE4\x01 "},
        {"a long name refers into the image", smf({track(name(std::string(300, 'x')))}),
            std::string(300, 'x')},
        {"other text events do not count", smf({track(hex("00 FF 01 04 54 65 78 74"))}), ""},
        {"no tracks", header(1, 0), ""},
        {"empty file", {}, ""},
        {"RIFF", riff(smf({track(name("Wrapped"))})), "Wrapped"},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFileOps files;
        files.files["/songs/a.mid"] = c.file;
        RecordingNotifier notifier;
        MidiFileEntry entry{"/songs/a.mid", "a.mid", "stale"};
        EXPECT_TRUE(readSongTitle(entry, files, notifier));
        EXPECT_EQ(entry.title, c.title);
        EXPECT_TRUE(notifier.texts.empty());
    }
}

TEST(SongTitleTest, FilesThatCannotBeListedReportWhy)
{
    MemoryFileOps files;
    files.files["/songs/extra.mid"] = smf({track(name("Title"))}) + hex("00");
    files.files["/songs/cut.mid"] = smf({track(name("Title"), false)});
    files.readErrors["/songs/locked.mid"] = EACCES;
    files.readOutOfMemory.insert("/songs/huge.mid");
    const std::pair<const char*, const char*> cases[] = {
        {"/songs/extra.mid", "Invalid midi file structure - file: /songs/extra.mid !"},
        {"/songs/cut.mid", "Invalid midi track structure - file: /songs/cut.mid !"},
        {"/songs/locked.mid", "Cannot read \"/songs/locked.mid\": Permission denied"},
        {"/songs/huge.mid", "Out of memory."},
        {"/songs/missing.mid", "Cannot open \"/songs/missing.mid\": No such file or directory"},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        RecordingNotifier notifier;
        MidiFileEntry entry{path, "x.mid", "stale"};
        EXPECT_FALSE(readSongTitle(entry, files, notifier));
        EXPECT_EQ(entry.title, "");
        EXPECT_EQ(notifier.texts, std::vector<std::string>{message});
    }
}

} // namespace
} // namespace sorvanel
