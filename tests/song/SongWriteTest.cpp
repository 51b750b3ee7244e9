#include "platform/Notifier.h"
#include "song/Song.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

using namespace test;

TEST(SongWriteTest, CanonicalFilesComeOutByteForByte)
{
    const Bytes files[] = {
        header(0, 0, 0x01E0),
        smf({track({})}),
        smf({track(hex("00 90 3C 40 | 83 60 80 3C 00 | 00 C1 05 | 00 D1 30 | 00 E1 00 40"))}),
        smf({track(hex("00 FF 03 05 48 65 6C 6C 6F | 00 FF 51 03 07 A1 20")),
                track(hex("00 F0 06 43 10 4C 00 00 7E | 81 00 F7 03 01 02 03 | 00 FF 2F 01 00")),
                track(hex("FF FF FF 7F B0 07 64 | 00 F8"))},
            1, 0xE728),
    };
    for (const Bytes& file : files) {
        SCOPED_TRACE(toHex(file));
        Bytes image(file);
        Song song;
        ASSERT_TRUE(readSong(song, image).accepted);
        EXPECT_EQ(toHex(encode(song)), toHex(file));
    }
}

struct NormaliseCase
{
    const char* name;
    Bytes input;
    Bytes output;
};

TEST(SongWriteTest, NormalisesWhatItReads)
{
    const Bytes two = smf({track(hex("00 90 3C 40")), track(hex("00 C0 01"))});
    const NormaliseCase cases[] = {
        {"running status gets a status byte per event",
            smf({track(hex("00 90 3C 40 | 10 3E 40 | 10 40 40"))}),
            smf({track(hex("00 90 3C 40 | 10 90 3E 40 | 10 90 40 40"))})},
        {"running status across a meta event", smf({track(hex("00 FF 03 01 41 | 00 03 01 42"))}),
            smf({track(hex("00 FF 03 01 41 | 00 FF 03 01 42"))})},
        {"long quantities shrink",
            smf({track(hex("80 00 FF 01 80 80 02 41 42 | 80 80 81 00 C0 01"))}),
            smf({track(hex("00 FF 01 02 41 42 | 81 00 C0 01"))})},
        {"delta with its top bit set is one byte", smf({track(hex("88 80 80 80 05 C0 01"))}),
            smf({track(hex("05 C0 01"))})},
        {"RIFF comes out bare", riff(two), two},
        {"ids in lower case",
            text("mthd") + Bytes(two.begin() + 4, two.begin() + 14) + text("mtrk")
                + Bytes(two.begin() + 18, two.end()),
            two},
        {"format 1 with one track becomes format 0", header(1, 1) + track(hex("00 C0 01")),
            smf({track(hex("00 C0 01"))})},
        {"format 2 becomes format 1",
            header(2, 2) + track(hex("00 90 3C 40")) + track(hex("00 C0 01")), two},
        {"format 0 header announcing 3 tracks", header(0, 3) + track(hex("00 C0 01")),
            smf({track(hex("00 C0 01"))})},
        {"high byte of the format word dropped",
            header(0x0101, 2) + track(hex("00 90 3C 40")) + track(hex("00 C0 01")), two},
    };
    for (const NormaliseCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image(c.input);
        Song song;
        ASSERT_TRUE(readSong(song, image).accepted);
        EXPECT_EQ(toHex(encode(song)), toHex(c.output));
    }
}

TEST(SongWriteTest, EncodesSongsBuiltInMemory)
{
    Song empty;
    empty.division = 0x60;
    EXPECT_EQ(toHex(encode(empty)), "4D 54 68 64 00 00 00 06 00 00 00 00 00 60");

    Song song;
    song.tracks.emplace_back();
    MidiEvent end;
    end.status = 0xFF;
    end.metaType = 0x2F;
    song.tracks[0].insertEvent(end, 0);
    EXPECT_EQ(toHex(encode(song)),
        "4D 54 68 64 00 00 00 06 00 00 00 01 00 00 4D 54 72 6B 00 00 00 04 00 FF 2F 00");
}

TEST(SongWriteTest, ABlockOneByteShortFailsWithOneMessage)
{
    Bytes image = smf({track(hex("00 90 3C 40")), track(hex("00 F0 05 01 02 03 04 F7"))});
    Song song;
    ASSERT_TRUE(readSong(song, image).accepted);
    const std::int32_t size = song.encodedSize();
    // Short at the end of the last track, inside the first track, and inside the header.
    for (std::int32_t blockSize : {size - 1, size - 20, 10}) {
        SCOPED_TRACE(blockSize);
        Bytes block(static_cast<std::size_t>(blockSize));
        MidiBuffer buffer(block.data(), blockSize, testPath);
        RecordingNotifier notifier;
        EXPECT_FALSE(song.write(buffer, notifier));
        EXPECT_EQ(notifier.texts, std::vector<std::string>{bufferTooSmallText});
    }
}

TEST(SongWriteTest, EncodedSizeAddsUpEveryEvent)
{
    struct Case
    {
        const char* name;
        MidiEvent event;
        std::int32_t size;
    };
    auto event = [](std::int32_t delta, std::uint8_t status, std::int32_t length) {
        MidiEvent e;
        e.delta = delta;
        e.status = status;
        e.length = length;
        return e;
    };
    const Case cases[] = {
        {"note", event(0, 0x90, 2), 4},
        {"program change, two-byte delta", event(200, 0xC0, 1), 4},
        {"meta", event(0, 0xFF, 3), 7},
        {"meta with a two-byte length", event(0, 0xFF, 200), 205},
        {"SysEx", event(0, 0xF0, 5), 8},
        {"escape", event(0, 0xF7, 0), 3},
        {"system byte", event(0, 0xF8, 0), 2},
        {"data byte as status", event(0, 0x40, 0), 2},
        {"negative delta counts one byte", event(-5, 0xC0, 1), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.event.encodedSize(), c.size);
    }
}

} // namespace
} // namespace sorvanel
