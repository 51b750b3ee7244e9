// Feeds arbitrary bytes to the reader; every accepted song must encode into exactly its
// announced size, and that encoding must read back and encode to the same bytes.

#include "platform/Notifier.h"
#include "song/Song.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "SongFuzz: %s\n", what);
        std::abort();
    }
}

std::vector<std::uint8_t> encode(sorvanel::Song& song)
{
    std::vector<std::uint8_t> block(static_cast<std::size_t>(song.encodedSize()));
    sorvanel::RecordingNotifier notifier;
    sorvanel::MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "out");
    check(song.write(buffer, notifier), "an accepted song did not fit its encoded size");
    check(buffer.remaining() == 0, "the encoding left part of the block unused");
    check(notifier.texts.empty(), "the writer showed a message");
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy: the reader may not look at a byte past it.
    std::vector<std::uint8_t> image(data, data + size);
    sorvanel::Song song;
    sorvanel::RecordingNotifier notifier;
    if (!song.readImage(image, "in", notifier)) {
        check(notifier.texts.size() == 1, "a refused file did not show exactly one message");
        return 0;
    }
    check(notifier.texts.empty(), "an accepted file showed a message");

    std::vector<std::uint8_t> first = encode(song);
    sorvanel::Song again;
    check(again.readImage(first, "out", notifier), "the encoding does not read back");
    std::vector<std::uint8_t> second = encode(again);
    check(first == second, "the encoding does not encode to itself");
    return 0;
}
