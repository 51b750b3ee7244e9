#include "platform/Notifier.h"
#include "song/Song.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

using namespace test;

enum class Outcome { Accepted, FileRefused, TrackRefused };

struct ReadCase
{
    const char* name;
    Bytes image;
    Outcome outcome;
    int tracks = -1; ///< tracks held after an accepted read; -1 when not checked
};

const Bytes notes = hex("00 90 3C 40 | 60 3C 00 | 00 C0 05 | 00 B0 07 64");

Bytes repeated(const Bytes& bytes, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

Bytes withId(Bytes image, std::size_t at, std::string_view id)
{
    std::copy(id.begin(), id.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    return image;
}

std::vector<ReadCase> readCases()
{
    const Bytes plain = smf({track(notes)});
    const Bytes two = smf({track(notes), track(hex("00 FF 03 03 41 42 43"))});
    return {
        {"format 0, one track", plain, Outcome::Accepted, 1},
        {"format 1, two tracks", two, Outcome::Accepted, 2},
        {"ids in lower case", withId(withId(plain, 0, "mthd"), 14, "mtrk"), Outcome::Accepted, 1},
        {"ids in mixed case", withId(withId(plain, 0, "mThD"), 14, "MtRk"), Outcome::Accepted, 1},
        {"no tracks", header(1, 0), Outcome::Accepted, 0},
        {"negative track count reads none", header(1, 0x8000), Outcome::Accepted, 0},
        {"format 0 announcing 3 tracks reads one", header(0, 3) + track(notes), Outcome::Accepted,
            1},
        {"format word 0100 reads as format 0", header(0x0100, 3) + track(notes), Outcome::Accepted,
            1},
        {"format 2 keeps all tracks", header(2, 2) + track(notes) + track(notes), Outcome::Accepted,
            2},
        {"RIFF", riff(two), Outcome::Accepted, 2},
        {"RIFF in lower case", withId(riff(two), 0, "riff"), Outcome::Accepted, 2},
        {"RIFF with any form type and data id", withId(riff(two), 8, "XXXXyyyy"), Outcome::Accepted,
            2},
        {"RIFF data size short of the rest ignores what follows",
            riff(two + hex("DE AD BE EF"), static_cast<std::int64_t>(two.size())),
            Outcome::Accepted, 2},
        {"RIFF data size beyond the rest", riff(two, static_cast<std::int64_t>(two.size()) + 100),
            Outcome::Accepted, 2},
        {"FF 2F with a length does not end the track",
            smf({track(hex("00 FF 2F 01 00 | 00 90 3C 40"))}), Outcome::Accepted, 1},
        {"five-byte delta time", smf({track(hex("8F FF FF FF 7F 90 3C 40"))}), Outcome::Accepted,
            1},

        {"empty image", {}, Outcome::FileRefused},
        {"header length 5", chunk("MThd", hex("00 00 00 00 00")), Outcome::FileRefused},
        {"header length 7", chunk("MThd", hex("00 00 00 00 00 60 00")) + track(notes),
            Outcome::FileRefused},
        {"header id wrong", withId(plain, 0, "MThx"), Outcome::FileRefused},
        {"one byte after the last track", plain + hex("00"), Outcome::FileRefused},
        {"format 0 announcing 3 tracks followed by more chunks",
            header(0, 3) + track(notes) + track(notes), Outcome::FileRefused},
        {"RIFF data size cutting into the header", riff(two, 10), Outcome::FileRefused},
        {"RIFF negative data size", riff(two, 0xFFFFFFF0), Outcome::FileRefused},
        {"RIFF data size leaving a leftover byte",
            riff(two + hex("00"), static_cast<std::int64_t>(two.size()) + 1), Outcome::FileRefused},

        {"track id wrong", withId(plain, 14, "MTrx"), Outcome::TrackRefused},
        {"other chunk type is not skipped", header(1, 1) + chunk("XFIH", hex("00")) + track(notes),
            Outcome::TrackRefused},
        {"fewer tracks than announced", header(1, 2) + track(notes), Outcome::TrackRefused},
        {"chunk length beyond the image",
            header(0, 1) + chunkWithLength("MTrk", 100, notes + endOfTrack()),
            Outcome::TrackRefused},
        {"End-of-Track before the chunk's end",
            header(0, 1) + chunk("MTrk", notes + endOfTrack() + hex("00 90 3C 40")),
            Outcome::TrackRefused},
        {"End-of-Track after the chunk's end",
            header(0, 1)
                + chunkWithLength(
                    "MTrk", static_cast<std::uint32_t>(notes.size() + 3), notes + endOfTrack()),
            Outcome::TrackRefused},
        {"no End-of-Track", smf({track(notes, false)}), Outcome::TrackRefused},
        {"only FF 2F with a length", smf({track(hex("00 FF 2F 01 00"), false)}),
            Outcome::TrackRefused},
        {"data length with its top bit set",
            smf({track(hex("00 F0 8F FF FF FF 7F 01 02 03 04 05 06 07 08 09"))}),
            Outcome::TrackRefused},
        {"meta length with its top bit set", smf({track(hex("00 FF 01 88 80 80 80 00 41"))}),
            Outcome::TrackRefused},
    };
}

TEST(SongReadTest, AcceptsOrRefusesWithExactlyOneMessage)
{
    for (ReadCase& c : readCases()) {
        SCOPED_TRACE(c.name);
        // An exact-size copy, so the sanitizer build catches any read past the image.
        Bytes image(c.image);
        Song song;
        ReadResult result = readSong(song, image);
        // The title scan checks exactly as the reader does, and so does a song that keeps
        // the event arrays of a file read before.
        RecordingNotifier scanned;
        MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), testPath);
        std::string title;
        EXPECT_EQ(scanSongTitle(buffer, scanned, title), result.accepted);
        EXPECT_EQ(scanned.texts, result.messages);
        Bytes before = smf({track(notes), track(notes + notes), track(notes)});
        Song reused;
        ASSERT_TRUE(readSong(reused, before).accepted);
        reused.clear();
        ReadResult again = readSong(reused, image);
        EXPECT_EQ(again.accepted, result.accepted);
        EXPECT_EQ(again.messages, result.messages);
        if (result.accepted) {
            EXPECT_EQ(dump(reused), dump(song));
        }
        switch (c.outcome) {
        case Outcome::Accepted:
            EXPECT_TRUE(result.accepted);
            EXPECT_TRUE(result.messages.empty());
            if (c.tracks >= 0) {
                EXPECT_EQ(song.tracks.size(), static_cast<std::size_t>(c.tracks));
            }
            break;
        case Outcome::FileRefused:
            EXPECT_FALSE(result.accepted);
            EXPECT_EQ(result.messages, std::vector<std::string>{invalidFileMessage()});
            break;
        case Outcome::TrackRefused:
            EXPECT_FALSE(result.accepted);
            EXPECT_EQ(result.messages, std::vector<std::string>{invalidTrackMessage()});
            break;
        }
    }
}

TEST(SongReadTest, EveryProperPrefixOfAValidFileIsRefusedWithOneMessage)
{
    const Bytes samples[] = {
        smf({track(notes), track(hex("00 FF 03 05 48 65 6C 6C 6F | 00 F0 05 7E 7F 09 01 F7"))}),
        smf({track(hex("83 60 90 3C 40 | 00 3E 40 | 81 80 80 80 00 F7 02 01 02"))}),
        riff(smf({track(hex("00 FF 51 03 07 A1 20 | 00 E0 00 40"))})),
    };
    for (const Bytes& sample : samples) {
        for (std::size_t size = 0; size < sample.size(); ++size) {
            SCOPED_TRACE(
                toHex(Bytes(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(size))));
            Bytes image(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(size));
            Song song;
            ReadResult result = readSong(song, image);
            EXPECT_FALSE(result.accepted);
            ASSERT_EQ(result.messages.size(), 1u);
            EXPECT_TRUE(result.messages[0] == invalidFileMessage()
                || result.messages[0] == invalidTrackMessage());
        }
    }
}

struct DecodeCase
{
    const char* name;
    const char* events; ///< track body, End-of-Track appended
    const char* expected; ///< the events as dumped, End-of-Track left out
};

TEST(SongReadTest, DecodesEventsWithRunningStatus)
{
    const DecodeCase cases[] = {
        {"channel messages take 2 or 1 data bytes",
            "00 80 3C 00 | 00 A0 3C 10 | 00 B0 07 64 | 00 C0 05 | 00 D0 22 | 00 E0 00 40",
            "0 0 +0 80 -- len 2: 3c 00\n0 0 +0 a0 -- len 2: 3c 10\n0 0 +0 b0 -- len 2: 07 64\n"
            "0 0 +0 c0 -- len 1: 05\n0 0 +0 d0 -- len 1: 22\n0 0 +0 e0 -- len 2: 00 40\n"},
        {"running status of a note", "00 90 3C 40 | 10 3E 40",
            "0 0 +0 90 -- len 2: 3c 40\n0 16 +16 90 -- len 2: 3e 40\n"},
        {"running status across a meta event reads another meta event",
            "00 FF 03 01 41 | 00 03 01 42", "0 0 +0 ff 03 len 1: 41\n0 0 +0 ff 03 len 1: 42\n"},
        {"running status after SysEx", "00 F0 02 7E 7F | 00 01 F7",
            "0 0 +0 f0 -- len 2: 7e 7f\n0 0 +0 f0 -- len 1: f7\n"},
        {"running status after a system byte takes nothing", "00 F8 | 00 F8",
            "0 0 +0 f8 -- len 0\n0 0 +0 f8 -- len 0\n"},
        {"a data byte with no running status is the status", "00 40 | 00 41",
            "0 0 +0 40 -- len 0\n0 0 +0 41 -- len 0\n"},
        {"five-byte delta keeps its low 32 bits", "8F FF FF FF 7F C0 01",
            "0 -1 +-1 c0 -- len 1: 01\n"},
        {"zero-length meta and SysEx", "00 FF 01 00 | 00 F7 00",
            "0 0 +0 ff 01 len 0\n0 0 +0 f7 -- len 0\n"},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = smf({track(hex(c.events))});
        Song song;
        ASSERT_TRUE(readSong(song, image).accepted);
        std::string all = dump(song);
        std::string expected = std::string("format 0 tracks 1 division 96\n") + "track 0 events "
            + std::to_string(song.tracks[0].events.size()) + "\n" + c.expected;
        // Everything up to the End-of-Track line.
        EXPECT_EQ(all.substr(0, expected.size()), expected);
    }
}

TEST(SongReadTest, SystemByteAsRunningStatusLeavesTheDataByteForTheNextDelta)
{
    // After F8 the byte 3C is not taken by the event, so it is the next event's delta time.
    Bytes image = smf({track(hex("00 F8 | 05 3C FF 2F 00"), false)});
    Song song;
    ASSERT_TRUE(readSong(song, image).accepted);
    EXPECT_EQ(dump(song),
        "format 0 tracks 1 division 96\ntrack 0 events 3\n0 0 +0 f8 -- len 0\n"
        "0 5 +5 f8 -- len 0\n0 65 +60 ff 2f len 0\n");
}

TEST(SongReadTest, ShortDataIsInlineAndLongDataRefersIntoTheImage)
{
    Bytes image =
        smf({track(hex("00 F0 03 41 10 F7 | 00 F0 04 41 10 42 F7 | 00 F0 05 41 10 42 12 F7"))});
    Song song;
    ASSERT_TRUE(readSong(song, image).accepted);
    const Track& track = song.tracks[0];
    const auto& events = track.events;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(track.image, image.data());
    EXPECT_EQ(events[0].length, 3);
    EXPECT_EQ(toHex(Bytes(events[0].inlineData, events[0].inlineData + 4)), "41 10 F7 00");
    EXPECT_EQ(track.data(events[1]), events[1].inlineData);
    EXPECT_EQ(events[2].length, 5);
    // Header 14, track header 8, two events of 6 and 7 bytes, then delta, status and length.
    EXPECT_EQ(track.data(events[2]), image.data() + 14 + 8 + 6 + 7 + 3);
    EXPECT_EQ(toHex(Bytes(track.data(events[2]), track.data(events[2]) + 5)), "41 10 42 12 F7");
}

TEST(SongReadTest, KeepsHeaderFieldsAsRead)
{
    Bytes image = withId(header(0x0201, 2, 0xE728), 0, "mthd") + track(notes) + track(notes);
    Song song;
    ASSERT_TRUE(readSong(song, image).accepted);
    EXPECT_STREQ(song.chunkId, "mthd");
    EXPECT_EQ(song.chunkLength, 6);
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.trackCount, 2);
    EXPECT_EQ(song.division, static_cast<std::int16_t>(0xE728));
    EXPECT_STREQ(song.tracks[1].chunkId, "MTrk");
    EXPECT_EQ(song.tracks[1].chunkLength, static_cast<std::int32_t>(notes.size() + 4));
}

TEST(SongReadTest, ARefusedSongCanBeClearedAndReusedForTheNextFile)
{
    Bytes bad = smf({track(notes), track(notes, false)});
    Bytes good = smf({track(hex("00 FF 03 01 41"))});
    Song song;
    EXPECT_FALSE(readSong(song, bad).accepted);
    song.clear();
    ASSERT_TRUE(readSong(song, good).accepted);
    Song fresh;
    ASSERT_TRUE(readSong(fresh, good).accepted);
    EXPECT_EQ(dump(song), dump(fresh));
}

TEST(SongReadTest, EventStorageFollowsTheEventsNotTheChunkLength)
{
    // One SysEx dump fills the chunk: a handful of events, whatever the chunk's length.
    Bytes dump = hex("00 F0") + varLen(1'000'000) + Bytes(1'000'000, 0x10);
    Bytes regular = repeated(hex("01 90 3C 40"), 50'000);
    Bytes image = smf({track(dump), track(regular)});
    Song song;
    ASSERT_TRUE(readSong(song, image).accepted);
    EXPECT_LE(song.tracks[0].events.capacity(), Track::firstReserve);
    // A regular track is sized from its first events: a little more than it holds.
    const Track& notesTrack = song.tracks[1];
    EXPECT_LE(notesTrack.events.capacity(), notesTrack.events.size() * 5 / 4);
}

TEST(SongReadTest, KeptEventArraysGoToTheLongestChunks)
{
    Bytes few = hex("00 C0 01");
    Bytes many = repeated(hex("01 90 3C 40"), 20'000);
    Bytes first = smf({track(many), track(few), track(few)});
    Bytes second = smf({track(few), track(few), track(many)});
    Song song;
    ASSERT_TRUE(readSong(song, first).accepted);
    const MidiEvent* largest = song.tracks[0].events.data();
    song.clear();
    ASSERT_TRUE(readSong(song, second).accepted);
    EXPECT_EQ(song.tracks[2].events.data(), largest);
}

} // namespace
} // namespace sorvanel
