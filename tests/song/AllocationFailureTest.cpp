// Runs in its own executable because it replaces the global allocation functions.

#include "platform/Notifier.h"
#include "song/Song.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

/// While armed, the first allocation of at least this many bytes fails (once).
std::size_t failAtLeast = 0;

} // namespace

void* operator new(std::size_t size)
{
    if (failAtLeast != 0 && size >= failAtLeast) {
        failAtLeast = 0;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// MinGW's GCC, inlining these, takes the memory for the library's own operator new's and
// warns about free(); it is malloc()'s, from the replacement above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
#pragma GCC diagnostic pop

namespace sorvanel {
namespace {

using namespace test;

// A song that did not fit in memory is not called invalid: the one message says why.
TEST(AllocationFailureTest, EventStorageReportsMemoryAlone)
{
    // Enough bytes that the event array is by far the largest allocation of the read.
    Bytes events;
    for (int i = 0; i < 20000; ++i)
        events = events + hex("00 90 3C 40");
    Bytes image = smf({track(events)});
    Song song;
    failAtLeast = 100000;
    ReadResult result = readSong(song, image);
    failAtLeast = 0;
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.messages, std::vector<std::string>{std::string(outOfMemoryText)});
}

TEST(AllocationFailureTest, TrackListReportsMemoryAlone)
{
    Bytes image = smf({track(hex("00 C0 01"))});
    Song song;
    failAtLeast = sizeof(Track);
    ReadResult result = readSong(song, image);
    failAtLeast = 0;
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.messages, std::vector<std::string>{std::string(outOfMemoryText)});
}

} // namespace
} // namespace sorvanel
