#include "song/Song.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

Track trackWithDeltas(std::initializer_list<std::int32_t> deltas)
{
    Track track;
    for (std::int32_t delta : deltas) {
        MidiEvent event;
        event.delta = delta;
        event.status = 0xC0;
        event.length = 1;
        event.inlineData[0] = static_cast<std::uint8_t>(track.events.size());
        track.events.push_back(event);
    }
    return track;
}

std::vector<std::int32_t> deltasOf(const Track& track)
{
    std::vector<std::int32_t> deltas;
    for (const MidiEvent& event : track.events)
        deltas.push_back(event.delta);
    return deltas;
}

struct RemoveCase
{
    const char* name;
    std::size_t index;
    std::size_t count;
    std::vector<std::int32_t> deltas;
};

TEST(TrackEditTest, RemoveEventsCarriesTheirDeltaToTheNextEvent)
{
    const RemoveCase cases[] = {
        {"one in the middle", 1, 1, {1, 24, 8}},
        {"two in the middle", 1, 2, {1, 32}},
        {"the first", 0, 1, {21, 4, 8}},
        {"before the last (End-of-Track keeps its time)", 2, 1, {1, 20, 12}},
        {"the last: its time is lost", 3, 1, {1, 20, 4}},
        {"count cut to what exists", 2, 100, {1, 20}},
        {"none", 1, 0, {1, 20, 4, 8}},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        Track track = trackWithDeltas({1, 20, 4, 8});
        track.removeEvents(c.index, c.count);
        EXPECT_EQ(deltasOf(track), c.deltas);
    }
}

TEST(TrackEditTest, RemoveEventsKeepsTheOtherEventsInOrder)
{
    Track track = trackWithDeltas({0, 0, 0, 0, 0});
    track.removeEvents(1, 2);
    ASSERT_EQ(track.events.size(), 3u);
    EXPECT_EQ(track.events[0].inlineData[0], 0);
    EXPECT_EQ(track.events[1].inlineData[0], 3);
    EXPECT_EQ(track.events[2].inlineData[0], 4);
}

TEST(TrackEditTest, InsertEventLeavesDeltasAlone)
{
    Track track = trackWithDeltas({5, 6});
    MidiEvent reset;
    reset.status = 0xB0;
    reset.setData(nullptr, reinterpret_cast<const std::uint8_t*>("\x79\x00"), 2);
    track.insertEvent(reset, 0);
    track.insertEvent(reset, 3);
    track.insertEvent(reset, 2);
    EXPECT_EQ(deltasOf(track), (std::vector<std::int32_t>{0, 5, 0, 6, 0}));
    EXPECT_EQ(track.events[4].status, 0xB0);
    EXPECT_EQ(track.events[4].inlineData[0], 0x79);
}

TEST(TrackEditTest, EventStorageGrowsByTheMinimumStepThenGeometrically)
{
    Track track;
    track.reserveFor(1);
    EXPECT_GE(track.events.capacity(), Track::minimumGrowth);
    track.events.resize(track.events.capacity());
    std::size_t before = track.events.capacity();
    track.reserveFor(before + 1);
    EXPECT_GE(track.events.capacity(), before + Track::minimumGrowth);

    track.events.resize(track.events.capacity());
    before = track.events.capacity();
    track.reserveFor(before + 1);
    EXPECT_GE(track.events.capacity(), 2 * before);
}

TEST(TrackEditTest, SetDataKeepsShortDataInline)
{
    const std::uint8_t bytes[8] = {0, 0, 1, 2, 3, 4, 5, 6};
    const std::uint8_t* image = bytes;
    MidiEvent event;
    event.setData(image, bytes + 2, 6);
    EXPECT_EQ(event.dataOffset, 2u);
    EXPECT_EQ(event.data(image), bytes + 2);
    event.setData(image, bytes + 2, 4);
    EXPECT_EQ(event.data(image), event.inlineData);
    EXPECT_EQ(event.inlineData[3], 4);
    event.setData(image, bytes + 2, 2);
    EXPECT_EQ(event.inlineData[2], 0);
    EXPECT_EQ(event.length, 2);
}

} // namespace
} // namespace sorvanel
